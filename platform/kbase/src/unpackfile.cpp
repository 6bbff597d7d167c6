// CUnPackFile over libzip. Entry names are taken as raw bytes (the host's
// names may be double-byte text) and folded for lookup: '\' becomes '/',
// ASCII letters lower case, leading separators dropped.
#include "unpackfile.h"

#include <zip.h>

#include <climits>
#include <cstring>
#include <new>

#include "kret.h"

namespace {

// Deflate makes at most 1032 bytes of one.
constexpr zip_uint64_t kInflateRatio = 1032;
// The first buffer of an entry; it doubles as the data comes.
constexpr int kFirstBlock = 64 << 10;

}  // namespace

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
    if (zip_stat_index(m_pZip, it->second, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
        KRet(-1, "CUnPackFile::UnPack(%s) entry cannot be read", name);
        return nullptr;
    }
    if (st.size > zip_uint64_t(INT_MAX)) {
        KRet(-1, "CUnPackFile::UnPack(%s) entry of %llu bytes is too large", name,
             static_cast<unsigned long long>(st.size));
        return nullptr;
    }
    // What the entry's own data can become: a stored entry is its data, and
    // deflate turns one byte into at most 1032 (a 258-byte match in 2 bits).
    // A size above that is a lie, refused before anything is made for it.
    if ((st.valid & ZIP_STAT_COMP_SIZE) && (st.valid & ZIP_STAT_COMP_METHOD)) {
        const zip_uint64_t most = st.comp_method == ZIP_CM_STORE     ? st.comp_size
                                  : st.comp_method == ZIP_CM_DEFLATE ? st.comp_size * kInflateRatio
                                                                     : zip_uint64_t(INT_MAX);
        if (st.size > most) {
            KRet(-1, "CUnPackFile::UnPack(%s) entry claims %llu bytes its data cannot hold", name,
                 static_cast<unsigned long long>(st.size));
            return nullptr;
        }
    }
    const int length = int(st.size);
    zip_file_t* file = zip_fopen_index(m_pZip, it->second, 0);
    if (file == nullptr) {
        KRet(-1, "CUnPackFile::UnPack(%s) entry cannot be opened", name);
        return nullptr;
    }
    BYTE* buffer = _readall(file, length);
    // Reading on at the end lets libzip check the entry's CRC; a damaged
    // entry fails there.
    if (zip_fclose(file) != 0 && buffer != nullptr) {
        delete[] buffer;
        buffer = nullptr;
    }
    if (buffer == nullptr) {
        KRet(-1, "CUnPackFile::UnPack(%s) entry does not hold the %d bytes it claims", name, length);
        return nullptr;
    }
    if (size != nullptr)
        *size = length;
    return buffer;
}

BYTE* CUnPackFile::_readall(zip_file_t* file, int length)
{
    // The buffer grows with what actually inflates, so a size the data does
    // not bear out costs no more than the data itself. One spare byte keeps
    // an empty entry's buffer non-null.
    size_t capacity = size_t(length < kFirstBlock ? length : kFirstBlock);
    BYTE* buffer = new (std::nothrow) BYTE[capacity + 1];
    if (buffer == nullptr)
        return nullptr;
    size_t got = 0;
    while (got < size_t(length)) {
        if (got == capacity) {
            const size_t grown = capacity * 2 < size_t(length) ? capacity * 2 : size_t(length);
            BYTE* bigger = new (std::nothrow) BYTE[grown + 1];
            if (bigger == nullptr) {
                delete[] buffer;
                return nullptr;
            }
            std::memcpy(bigger, buffer, got);
            delete[] buffer;
            buffer = bigger;
            capacity = grown;
        }
        const zip_int64_t n = zip_fread(file, buffer + got, zip_uint64_t(capacity - got));
        if (n <= 0)
            break;
        got += size_t(n);
    }
    // The entry must end where its size says: one byte more is read to see.
    BYTE probe;
    if (got != size_t(length) || zip_fread(file, &probe, 1) != 0) {
        delete[] buffer;
        return nullptr;
    }
    return buffer;
}

void CUnPackFile::ReleaseBuf(BYTE* buffer)
{
    delete[] buffer;
}
