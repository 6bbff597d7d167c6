// Fixtures for tests of a GDI device: a fresh desktop and a device of
// R5G6B5 pixels; G is TestGraph or a test's subclass of it that opens more
// primitives.
#pragma once
#include <string>
#include <kbase.h>
#include "desktop_fixture.h"
#include "test_files.h"
#include "test_graph.h"

template <class G = TestGraph>
class GraphTest : public DesktopTest {
protected:
    explicit GraphTest(long w = 64, long h = 48) : m_w(w), m_h(h) {}
    void SetUp() override
    {
        DesktopTest::SetUp();
        ASSERT_EQ(g.Init(false, m_w, m_h, KCM_R5G6B5, false), 0);
    }
    // Presents the device into a new window of its size, with a back screen
    // to match.
    HWND PresentInWindow()
    {
        HWND hwnd = MakeWindow(int(m_w), int(m_h));
        g.SetHWND(hwnd);
        g.ReSizeBackScreen(m_w, m_h, KCM_R5G6B5, false);
        return hwnd;
    }

    G g;

private:
    long m_w, m_h;
};

// A device for the picture loaders, with a scratch folder for their files.
template <class G = TestGraph>
class PictureTest : public GraphTest<G> {
protected:
    explicit PictureTest(const std::string& prefix) : m_tmp(prefix) {}
    void TearDown() override
    {
        this->g.Release();
        GraphTest<G>::TearDown();
    }
    std::string Path(const std::string& name) const { return m_tmp.Path(name); }
    // Whether the log since the last look holds an entry of `kind` with
    // exactly `text` (the look empties it).
    bool Has(kbase::LogEntry::Kind kind, const std::string& text)
    {
        for (auto& e : this->Log())
            if (e.kind == kind && e.text == text)
                return true;
        return false;
    }
    // The same for a report that returned `code`.
    bool Reported(long code, const std::string& text)
    {
        for (auto& e : this->Log())
            if (e.kind == kbase::LogEntry::Report && e.code == code && e.text == text)
                return true;
        return false;
    }

private:
    TempDir m_tmp;
};
