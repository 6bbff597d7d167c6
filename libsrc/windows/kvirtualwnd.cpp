// VirtualKestrelWnd, a host's own window used as the framework's top
// window, and KestrelFrame, the host-side interface holding a device.
#include "kwnd.h"

#include <kbase.h>

VirtualKestrelWnd::~VirtualKestrelWnd()
{
    Release();
}

void VirtualKestrelWnd::Init(KGraph* pGraph, HINSTANCE hInst, long x, long y, long w, long h,
                             HWND hWnd)
{
    KASSERT(pGraph != NULL);
    KASSERT(hInst != 0);
    KASSERT(hWnd != 0);
    SetGraph(pGraph);
    KestrelWnd::m_hInst = hInst;
    m_hWnd = hWnd;
    SetRect(int(x), int(y), int(w), int(h));
}

// The host's window is the host's: with m_hWnd cleared first, the base
// release neither unbinds it nor posts it anything.
void VirtualKestrelWnd::Release()
{
    m_hWnd = NULL;
    m_Graph = NULL;
    KestrelWnd::m_hInst = NULL;
    KestrelWnd::Release();
}

KestrelFrame::KestrelFrame() : m_Graph(NULL), m_dwReserved(0) {}

KestrelFrame::~KestrelFrame() {}

void KestrelFrame::SetGraph(KGraph* pGraph)
{
    KASSERT(pGraph != NULL);
    m_Graph = pGraph;
}
