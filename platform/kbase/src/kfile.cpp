// KFile over a C stream. Names may use '\' as the separator, as the host's
// data files do.
#include "kfile.h"

#include <string>

#include <sys/stat.h>

namespace {

std::string _hostPath(const char* name)
{
    std::string path(name);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

}  // namespace

KFile::KFile() : m_hFile(nullptr) {}

KFile::~KFile()
{
    Close();
}

long KFile::Open(const char* name, DWORD mode)
{
    Close();
    if (name == nullptr || name[0] == '\0' || (mode != 1 && mode != 2))
        return -1;
    const std::string path = _hostPath(name);
    FILE* fp = std::fopen(path.c_str(), mode == 1 ? "rb" : "wb");
    if (fp == nullptr)
        return -1;
    // A folder opens as a stream on Linux but is no file to read.
    struct stat st;
    if (fstat(fileno(fp), &st) != 0 || S_ISDIR(st.st_mode)) {
        std::fclose(fp);
        return -1;
    }
    m_hFile = fp;
    return 0;
}

DWORD KFile::Read(void* buffer, DWORD count)
{
    if (m_hFile == nullptr || buffer == nullptr)
        return 0;
    return DWORD(std::fread(buffer, 1, count, m_hFile));
}

DWORD KFile::Write(const void* buffer, DWORD count)
{
    if (m_hFile == nullptr || buffer == nullptr)
        return 0;
    return DWORD(std::fwrite(buffer, 1, count, m_hFile));
}

long KFile::Seek(long offset, KFILE_SEEKFROM from)
{
    if (m_hFile == nullptr)
        return -1;
    int whence;
    switch (from) {
    case KFILE_SEEK_BEGIN:
        whence = SEEK_SET;
        break;
    case KFILE_SEEK_CURRENT:
        whence = SEEK_CUR;
        break;
    case KFILE_SEEK_END:
        whence = SEEK_END;
        break;
    default:
        return -1;
    }
    if (fseeko(m_hFile, off_t(offset), whence) != 0)
        return -1;
    return long(ftello(m_hFile));
}

DWORD KFile::Tell()
{
    if (m_hFile == nullptr)
        return 0;
    const off_t pos = ftello(m_hFile);
    return pos < 0 ? 0 : DWORD(pos);
}

DWORD KFile::GetSize()
{
    if (m_hFile == nullptr)
        return 0;
    std::fflush(m_hFile);  // bytes written but still buffered count too
    struct stat st;
    if (fstat(fileno(m_hFile), &st) != 0)
        return 0;
    return st.st_size >= off_t(0xFFFFFFFF) ? 0xFFFFFFFF : DWORD(st.st_size);
}

void KFile::Close()
{
    if (m_hFile != nullptr) {
        std::fclose(m_hFile);
        m_hFile = nullptr;
    }
}

bool KFile::IsOpen() const
{
    return m_hFile != nullptr;
}
