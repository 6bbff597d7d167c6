// CUnPackFile over libzip. Entry names are taken as raw bytes (the host's
// names may be double-byte text) and folded for lookup: '\' becomes '/',
// ASCII letters lower case, leading separators dropped.
#include "unpackfile.h"

#include <zip.h>

#include <climits>
#include <new>

CUnPackFile::CUnPackFile() : m_pZip(nullptr) {}

CUnPackFile::~CUnPackFile()
{
    Close();
}

std::string CUnPackFile::_fold(const char* name)
{
    std::string folded;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        unsigned char c = *p;
        if (c == '\\')
            c = '/';
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c + ('a' - 'A'));
        if (c == '/' && folded.empty())
            continue;
        folded.push_back(static_cast<char>(c));
    }
    return folded;
}

bool CUnPackFile::Open(const char* zipPath)
{
    Close();
    if (zipPath == nullptr || zipPath[0] == '\0')
        return false;
    std::string path(zipPath);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr)
        return false;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (name == nullptr)
            continue;
        std::string key = _fold(name);
        if (key.empty() || key.back() == '/')
            continue;  // folders hold nothing to unpack
        m_Entries.emplace(std::move(key), uint64_t(i));  // the first of equal names wins
    }
    m_pZip = archive;
    return true;
}

void CUnPackFile::Close()
{
    if (m_pZip != nullptr) {
        zip_discard(m_pZip);  // opened read-only: nothing to write back
        m_pZip = nullptr;
    }
    m_Entries.clear();
}

bool CUnPackFile::IsOpen() const
{
    return m_pZip != nullptr;
}

BYTE* CUnPackFile::UnPack(const char* name, int* size)
{
    if (size != nullptr)
        *size = 0;
    if (m_pZip == nullptr || name == nullptr)
        return nullptr;
    auto it = m_Entries.find(_fold(name));
    if (it == m_Entries.end())
        return nullptr;

    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_pZip, it->second, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        return nullptr;
    if (st.size > zip_uint64_t(INT_MAX))
        return nullptr;
    const int length = int(st.size);

    // One spare byte keeps an empty entry's buffer non-null.
    BYTE* buffer = new (std::nothrow) BYTE[size_t(length) + 1];
    if (buffer == nullptr)
        return nullptr;
    zip_file_t* file = zip_fopen_index(m_pZip, it->second, 0);
    if (file == nullptr) {
        delete[] buffer;
        return nullptr;
    }
    zip_int64_t got = 0;
    while (got < length) {
        const zip_int64_t n = zip_fread(file, buffer + got, zip_uint64_t(length - got));
        if (n <= 0)
            break;
        got += n;
    }
    // Reading on at the end lets libzip check the entry's CRC; a damaged
    // entry fails there.
    BYTE probe;
    bool whole = got == length && zip_fread(file, &probe, 1) == 0;
    if (zip_fclose(file) != 0)
        whole = false;
    if (!whole) {
        delete[] buffer;
        return nullptr;
    }
    if (size != nullptr)
        *size = length;
    return buffer;
}

void CUnPackFile::ReleaseBuf(BYTE* buffer)
{
    delete[] buffer;
}
