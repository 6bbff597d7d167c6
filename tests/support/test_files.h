// Files for tests: whole files read and written as bytes, little-endian
// fields read back, and a scratch folder that goes with everything in it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The whole file; empty when it cannot be read.
Bytes ReadFile(const std::string& path);
// Replaces the file with `data`; a file that cannot be written fails the test.
void WriteFile(const std::string& path, const Bytes& data);
// The little-endian 32-bit field at byte `at`.
uint32_t Get32(const Bytes& b, size_t at);

// A new empty folder "/tmp/<prefix>XXXXXX", removed with its contents when
// the object goes. A folder that cannot be made fails the test.
class TempDir {
public:
    explicit TempDir(const std::string& prefix);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Dir() const { return m_dir; }
    // The path of `name` inside the folder.
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

private:
    std::string m_dir;
};
