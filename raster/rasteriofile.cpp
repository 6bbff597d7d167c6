// The image stream over a C FILE*.
#include "rasterfile.h"

RasterIOFile::RasterIOFile(FILE* fp) : pFile(fp), bCloseFile(fp == NULL) {}

RasterIOFile::RasterIOFile(const RasterIOFile& src) : RasterFile(src), pFile(src.pFile), bCloseFile(false)
{
}

RasterIOFile& RasterIOFile::operator=(const RasterIOFile& src)
{
    if (this != &src) {
        Close();  // a stream this object owns must not be lost
        pFile = src.pFile;
        bCloseFile = false;  // only the original closes the shared FILE*
    }
    return *this;
}

RasterIOFile::~RasterIOFile()
{
    Close();
}

bool RasterIOFile::Open(const char* name, const char* mode)
{
    if (pFile != NULL || name == NULL || mode == NULL)
        return false;
    pFile = fopen(name, mode);
    if (pFile == NULL)
        return false;
    bCloseFile = true;
    return true;
}

bool RasterIOFile::Close()
{
    if (pFile == NULL || !bCloseFile)
        return true;
    int r = fclose(pFile);
    pFile = NULL;
    return r == 0;
}

size_t RasterIOFile::Read(void* buffer, size_t size, size_t count)
{
    if (pFile == NULL || buffer == NULL)
        return 0;
    return fread(buffer, size, count, pFile);
}

size_t RasterIOFile::Write(const void* buffer, size_t size, size_t count)
{
    if (pFile == NULL || buffer == NULL)
        return 0;
    return fwrite(buffer, size, count, pFile);
}

bool RasterIOFile::Seek(long offset, int origin)
{
    if (pFile == NULL)
        return false;
    return fseek(pFile, offset, origin) == 0;
}

long RasterIOFile::Tell()
{
    if (pFile == NULL)
        return 0;
    return ftell(pFile);
}

long RasterIOFile::Size()
{
    if (pFile == NULL)
        return -1;
    long pos = ftell(pFile);
    fseek(pFile, 0, SEEK_END);
    long size = ftell(pFile);
    fseek(pFile, pos, SEEK_SET);
    return size;
}

bool RasterIOFile::Flush()
{
    if (pFile == NULL)
        return false;
    return fflush(pFile) == 0;
}

bool RasterIOFile::Eof()
{
    if (pFile == NULL)
        return true;
    return feof(pFile) != 0;
}

long RasterIOFile::Error()
{
    if (pFile == NULL)
        return -1;
    return ferror(pFile);
}

bool RasterIOFile::PutC(BYTE value)
{
    if (pFile == NULL)
        return false;
    return fputc(value, pFile) == value;
}

long RasterIOFile::GetC()
{
    if (pFile == NULL)
        return -1;
    return getc(pFile);
}
