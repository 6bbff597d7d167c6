// Sound, links and waiting on the screen: a WAV reaches the audio device
// sample for sample (SDL's disk driver writes what it plays), a link goes to
// the desktop's opener as its one argument, and a game waiting for input
// uses next to no processor time.
#include "screen_fixture.h"

#include <klog.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace {

// A mono 16-bit WAV file of the given samples.
void WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate)
{
    auto u32 = [](std::ofstream& f, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f.put(char(v >> (8 * i)));
    };
    auto u16 = [](std::ofstream& f, uint16_t v) {
        f.put(char(v));
        f.put(char(v >> 8));
    };
    std::ofstream f(path, std::ios::binary);
    const uint32_t bytes = uint32_t(samples.size() * 2);
    f.write("RIFF", 4);
    u32(f, 36 + bytes);
    f.write("WAVEfmt ", 8);
    u32(f, 16);
    u16(f, 1);  // PCM
    u16(f, 1);  // mono
    u32(f, uint32_t(rate));
    u32(f, uint32_t(rate * 2));
    u16(f, 2);
    u16(f, 16);
    f.write("data", 4);
    u32(f, bytes);
    for (int16_t s : samples)
        u16(f, uint16_t(s));
}

std::string ReadAll(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

using ScreenServicesTest = ScreenTest;

TEST_F(ScreenServicesTest, PlayedSoundReachesTheDeviceSampleForSample)
{
    const std::string wav = Scratch("hover.wav"), out = Scratch("audio.raw");
    std::vector<int16_t> samples(4410);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t((i * 7919) % 65536 - 32768);
    WriteWav(wav, samples, 22050);
    std::remove(out.c_str());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);

    ASSERT_TRUE(PlaySoundA(wav.c_str(), nullptr, SND_ASYNC | SND_NODEFAULT | SND_NOWAIT));
    // 200 ms of sound, played while the caller goes on: the device writes
    // it at its own pace (and silence after it).
    const size_t enough = samples.size() * 2 + 16384;
    for (int i = 0; i < 250 && ReadAll(out).size() < enough; ++i)
        Pump(20);
    EXPECT_FALSE(PlaySoundA(Scratch("no-such.wav").c_str(), nullptr, SND_ASYNC));
    screen::Leave();  // closes the device: the file is complete
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");

    // The device may have played silence before the sound came (its first
    // period can start before the sound is queued, as on a loaded machine):
    // the sound starts at the first sample that is not silent.
    const std::string written = ReadAll(out);
    const std::string expected(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
    const size_t start = written.find_first_not_of('\0') & ~size_t(1);
    ASSERT_NE(written.find_first_not_of('\0'), std::string::npos);
    ASSERT_GE(written.size(), start + expected.size());
    EXPECT_TRUE(written.compare(start, expected.size(), expected) == 0);
    // Both requests are recorded, as on the headless desktop.
    EXPECT_EQ(desktop::TakeSounds().size(), 2u);
}

// Standard error's output while `run` runs.
template <class Run>
std::string StandardErrorOf(const std::string& scratch, Run run)
{
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    FILE* f = std::fopen(scratch.c_str(), "wb");
    dup2(fileno(f), STDERR_FILENO);
    run();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::fclose(f);
    return ReadAll(scratch);
}

TEST_F(ScreenServicesTest, WithoutASoundDeviceSoundsFailQuietlyAndAreLoggedOnce)
{
    // A machine with no sound card: the audio driver's configuration knows
    // of none.
    const std::string wav = Scratch("beep.wav"), config = Scratch("no-cards.conf");
    WriteWav(wav, std::vector<int16_t>(441, 1000), 22050);
    std::fclose(std::fopen(config.c_str(), "wb"));
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    kbase::ClearLog();

    const std::string errors = StandardErrorOf(Scratch("stderr.txt"), [&] {
        for (int i = 0; i < 3; ++i)
            EXPECT_FALSE(PlaySoundA(wav.c_str(), nullptr, SND_ASYNC)) << i;
    });
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("ALSA_CONFIG_PATH");

    EXPECT_EQ(errors, "");
    int lines = 0;
    for (const kbase::LogEntry& e : kbase::TakeLog())
        lines += e.text.find("no sound device") != std::string::npos;
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(desktop::TakeSounds().size(), 3u);  // each request is still recorded
}

TEST_F(ScreenServicesTest, LinkGoesToTheDesktopsOpener)
{
    // A stand-in opener on PATH that writes down its arguments.
    const std::string dir = Scratch("opener");
    const std::string log = dir + "/opened";
    mkdir(dir.c_str(), 0755);
    std::remove(log.c_str());
    {
        std::ofstream f(dir + "/xdg-open");
        f << "#!/bin/sh\nprintf '%s|' \"$@\" > '" << log << ".part'\nmv '" << log << ".part' '"
          << log << "'\n";
    }
    chmod((dir + "/xdg-open").c_str(), 0755);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (dir + ":" + path).c_str(), 1);

    const char* link = "http://example.com/a b?c=1&d='2'";
    const INT_PTR opened = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", link, nullptr, nullptr, SW_SHOWNORMAL));
    // Refused before any opener runs: an option-like argument, another verb.
    const INT_PTR option = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", "--help", nullptr, nullptr, SW_SHOWNORMAL));
    const INT_PTR edit = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "edit", link, nullptr, nullptr, SW_SHOWNORMAL));
    std::string got;
    for (int i = 0; i < 200 && got.empty(); ++i) {
        Pump(10);
        got = ReadAll(log);
    }
    setenv("PATH", path.c_str(), 1);
    EXPECT_GT(opened, 32);
    EXPECT_LE(option, 32);
    EXPECT_EQ(edit, INT_PTR(SE_ERR_NOASSOC));
    EXPECT_EQ(got, std::string(link) + "|");
}

TEST_F(ScreenServicesTest, WaitingForInputUsesNextToNoProcessorTime)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "screen-idle";
    RegisterClassA(&wc);
    const HWND hwnd = CreateWindowExA(0, "screen-idle", "idle", WS_POPUP | WS_VISIBLE, 0, 0, 320,
                                      240, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    Pump(100);
    // A slow timer, as a game's caret blink: the loop wakes for it only.
    SetTimer(hwnd, 1, 500, nullptr);
    std::thread quitter([hwnd] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    });
    rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    MSG m;
    int timers = 0;
    while (GetMessageA(&m, nullptr, 0, 0) > 0 && m.message != WM_CLOSE)
        timers += m.message == WM_TIMER;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    getrusage(RUSAGE_SELF, &after);
    quitter.join();
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) +
                       seconds(after.ru_stime) - seconds(before.ru_stime);
    EXPECT_GE(timers, 2);
    // Under 1 % of a core; the margin allows for a loaded machine's accounting.
    EXPECT_LT(cpu / wall, 0.02) << cpu << " s of processor time in " << wall << " s";
    std::printf("idle: %.4f s of processor time in %.2f s (%.2f %% of a core)\n", cpu, wall,
                100.0 * cpu / wall);
}

}  // namespace
