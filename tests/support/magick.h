// ImageMagick (`convert`) as an independent reader and writer for
// cross-checks: whether it is there, running it quietly, and a fixture that
// skips without it and gives each test a scratch folder and a source picture.
#pragma once
#include <gtest/gtest.h>
#include <cstdlib>
#include <memory>
#include <string>
#include "test_files.h"

// Whether the command `probe` runs; its output is thrown away.
inline bool HaveTool(const char* probe)
{
    return std::system((std::string(probe) + " >/dev/null 2>&1").c_str()) == 0;
}

// Asked once a run.
inline bool HaveMagick()
{
    static const bool have = HaveTool("convert -version");
    return have;
}

// Runs a shell command with its errors thrown away; true when it succeeds.
inline bool RunQuiet(const std::string& cmd)
{
    return std::system((cmd + " 2>/dev/null").c_str()) == 0;
}

// Skipped when ImageMagick is not installed; otherwise the folder
// "/tmp/<prefix>XXXXXX" is the test's own and goes with it.
class MagickFixture : public ::testing::Test {
protected:
    explicit MagickFixture(std::string prefix) : m_prefix(std::move(prefix)) {}

    void SetUp() override
    {
        if (!HaveMagick())
            GTEST_SKIP() << "ImageMagick (convert) is not installed";
        m_tmp = std::make_unique<TempDir>(m_prefix);
    }

    std::string Path(const std::string& name) const { return m_tmp->Path(name); }

    // A colourful picture with more than 256 colours, written as PPM for
    // ImageMagick to convert; its path.
    std::string SourcePicture(int w, int h) const
    {
        std::string path = Path("source.ppm");
        std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        Bytes d(head.begin(), head.end());
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                d.push_back(uint8_t(x * 255 / (w - 1)));
                d.push_back(uint8_t(y * 255 / (h - 1)));
                d.push_back(uint8_t((x * 37 + y * 91) & 0xFF));
            }
        WriteFile(path, d);
        return path;
    }

private:
    std::string m_prefix;
    std::unique_ptr<TempDir> m_tmp;
};
