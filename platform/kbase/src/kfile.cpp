// KFile over a C stream. Names may use '\' as the separator, as the host's
// data files do, and a file to read is found without regard to case when
// its exact name is missing.
#include "kfile.h"

#include <string>

#include <dirent.h>
#include <strings.h>
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

bool _exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The entry of folder `dir` whose name matches `name` without regard to
// ASCII case; empty when there is none.
std::string _findFolded(const std::string& dir, const std::string& name)
{
    DIR* folder = opendir(dir.empty() ? "." : dir.c_str());
    if (folder == nullptr)
        return std::string();
    std::string found;
    while (const dirent* entry = readdir(folder)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(folder);
    return found;
}

// The host's data files name pictures and tables in whatever case; on a
// case-sensitive file system the path is matched one part at a time. Empty
// when some part has no match.
std::string _foldedPath(const std::string& path)
{
    std::string out;
    size_t pos = 0;
    if (!path.empty() && path[0] == '/') {
        out = "/";
        pos = 1;
    }
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos)
            slash = path.size();
        const std::string part = path.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == "." || part == "..") {
            if (!part.empty())
                out += part + (slash < path.size() ? "/" : "");
            continue;
        }
        std::string next = out + part;
        if (!_exists(next)) {
            const std::string match = _findFolded(out, part);
            if (match.empty())
                return std::string();
            next = out + match;
        }
        out = next;
        if (slash < path.size())
            out += "/";
    }
    return out;
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
    if (fp == nullptr && mode == 1) {
        const std::string folded = _foldedPath(path);
        if (!folded.empty())
            fp = std::fopen(folded.c_str(), "rb");
    }
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
