// KFile: a file on disk, read or written as a whole stream of bytes.
#pragma once

#include <windows.h>

#include <cstdio>

enum KFILE_SEEKFROM { KFILE_SEEK_BEGIN = 1, KFILE_SEEK_CURRENT = 2, KFILE_SEEK_END = 3 };

class KFile {
public:
    KFile();
    ~KFile();
    KFile(const KFile&) = delete;
    KFile& operator=(const KFile&) = delete;

    // Mode 1 opens an existing file for reading, mode 2 creates or replaces
    // one for writing. '\' in the name is a path separator. Returns 0 on
    // success, -1 on failure (the file is then closed). An open file is
    // closed first.
    long Open(const char* name, DWORD mode);
    // The bytes moved; 0 on a closed file.
    DWORD Read(void* buffer, DWORD count);
    DWORD Write(const void* buffer, DWORD count);
    // The new position from the start, or -1 (position unchanged) when the
    // file is closed or the position would fall before the start.
    long Seek(long offset, KFILE_SEEKFROM from);
    // The position; 0 on a closed file.
    DWORD Tell();
    // The size in bytes (0xFFFFFFFF from 4 GiB up); 0 on a closed file.
    DWORD GetSize();
    void Close();
    bool IsOpen() const;

private:
    FILE* m_hFile;
};
