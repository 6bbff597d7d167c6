#include "test_files.h"
#include <gtest/gtest.h>
#include <stdlib.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    out.close();
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

uint32_t Get32(const Bytes& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

namespace {

// A fatal failure here keeps the test body from running (and writing below
// "/" through an empty folder name).
void MakeDir(const std::string& prefix, std::string& dir)
{
    std::string pattern = "/tmp/" + prefix + "XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr)
        GTEST_FAIL() << "cannot make a folder " << pattern;
    dir = pattern;
}

}  // namespace

TempDir::TempDir(const std::string& prefix)
{
    MakeDir(prefix, m_dir);
}

TempDir::~TempDir()
{
    if (m_dir.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}
