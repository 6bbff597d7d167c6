// CUnPackFile: a packed archive (a zip file) whose entries are read whole.
// Entry names match with '\' taken as '/' and without regard to ASCII case,
// as the host's packed files name them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>

struct zip;
struct zip_file;

class CUnPackFile {
public:
    CUnPackFile();
    ~CUnPackFile();
    CUnPackFile(const CUnPackFile&) = delete;
    CUnPackFile& operator=(const CUnPackFile&) = delete;

    // Opens the archive ('\' in the path is a separator); an open archive is
    // closed first. False when it cannot be read as a zip archive.
    bool Open(const char* zipPath);
    void Close();
    bool IsOpen() const;

    // A new buffer holding the whole entry, its size stored in *size (size
    // may be null). Null, with *size 0, when the archive is not open, there is
    // no such entry, the entry exceeds INT_MAX bytes, claims a size its data
    // does not hold, or cannot be read whole (each but a missing entry logged).
    // The caller gives the buffer back with ReleaseBuf.
    BYTE* UnPack(const char* name, int* size);
    void ReleaseBuf(BYTE* buffer);

private:
    struct zip* m_pZip;
    // Folded entry name -> entry index.
    std::unordered_map<std::string, uint64_t> m_Entries;

    static std::string _fold(const char* name);
    // The whole of an open entry that claims `length` bytes, in a new
    // buffer of at least length + 1 bytes; null when it holds more or fewer.
    static BYTE* _readall(struct zip_file* file, int length);
};
