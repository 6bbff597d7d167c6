// Feeds arbitrary bytes to the KAni reader as a file on disk, in a folder
// that also holds two small pictures a file may name ("a.bmp", 4 x 4, and
// "b.bmp", 2 x 3). An animation that loads is drawn for a few frames onto
// the back screen, so that every frame's rectangle is read by the blitters.
#include "fuzz_support.h"
#include <sys/stat.h>

namespace {

// A 24-bit bitmap of one colour.
std::vector<uint8_t> Bmp(int32_t w, int32_t h, uint8_t blue)
{
    const uint32_t row = (uint32_t(w) * 3 + 3) & ~3u;
    std::vector<uint8_t> b;
    PutBmpHeader(b, 54 + row * uint32_t(h), w, h, 24);
    for (int32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < row; x++)
            b.push_back(x % 3 == 0 ? blue : 0);
    return b;
}

// The folder, its pictures and the animation file; all removed when the run
// ends.
class Scratch {
public:
    Scratch() : m_dir(std::string(FuzzScratchDir()) + "/kestrel-kani-fuzz-" + std::to_string(getpid()))
    {
        mkdir(m_dir.c_str(), 0700);
        Write("a.bmp", Bmp(4, 4, 0xFF));
        Write("b.bmp", Bmp(2, 3, 0x80));
    }
    ~Scratch()
    {
        for (const char* name : {"a.bmp", "b.bmp", "x.ani"})
            std::remove((m_dir + "/" + name).c_str());
        rmdir(m_dir.c_str());
    }
    bool Write(const char* name, const std::vector<uint8_t>& bytes) const
    {
        return Write(name, bytes.data(), bytes.size());
    }
    bool Write(const char* name, const uint8_t* data, size_t size) const
    {
        FILE* f = std::fopen((m_dir + "/" + name).c_str(), "wb");
        if (f == nullptr)
            return false;
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        return true;
    }
    // The animation's name as a host gives it: '\' before the file name, so
    // the names inside are looked for in the folder.
    std::string Ani() const { return m_dir + "\\x.ani"; }

private:
    std::string m_dir;
};

const Scratch g_scratch;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    KGraph* graph = FuzzGraph();
    if (!g_scratch.Write("x.ani", data, size))
        return 0;
    KAni ani;
    if (ani.Load(g_scratch.Ani().c_str(), graph) == 0) {
        for (DWORD i = 0; i < 3 && i < ani.GetMaxFrames(); i++) {
            ani.Draw(long(i) - 2, 1);
            ani.NextFrame();
        }
        graph->RenderToBack();
    }
    ani.Release();
    kbase::ClearLog();
    return 0;
}
