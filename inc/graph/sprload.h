// sprLoad: a worker thread that loads pictures in the background. The host
// queues requests (Load) and starts a walk over them (Start); the worker
// loads each request's file on disk with the device's loader for its type
// (BMP, JPEG, kpc) and tells the host's window how it goes by posted
// messages:
//   WM_SPRLOAD_IDLE    (WM_USER + 9)   the walk found no further request: idle
//   WM_SPRLOAD_NODATA  (WM_USER + 10)  a request's load ended without a picture
//   WM_SPRLOAD_BATCH   (WM_USER + 11)  the expected number of requests is finished
// Requests stay queued, with their pictures, until Remove takes them out.
// A walk passes over a request that already holds its picture; a request
// whose file cannot be opened is skipped without a message.
//
// Threads: the host calls every public operation but ThreadProc and Next,
// which are the worker's. The queue lock guards the requests and the walk;
// the worker holds the work lock while it works on one request (order: work
// lock, then queue lock). The request the worker is on (and the picture it is
// making) is never freed by the host's calls; its picture and done flag
// belong to the worker until the message for it has been posted or the
// loader has been stopped.
//
// The worker decodes on a device of its own, which touches none of the host
// device's cache or render engine; the blocks it makes are the GDI device's
// kind, and the host device releases them (ReleaseData, Remove, Stop).
#pragma once
#include <windows.h>
#include <kexport.h>
#include <kbase.h>
#include <klink.h>
#include <cstring>
#include "kcolor.h"
#include "kspritedata.h"

class KGraph;
class KGraphGDI;
class KSprite;

// Type bits added to a request's flags from its name's extension (compared
// without regard to case); they choose the loader.
#define SPRLOAD_TYPE_BMP 0x80000000u   // ".bmp"
#define SPRLOAD_TYPE_JPEG 0x40000000u  // ".jpg", ".jpeg"
#define SPRLOAD_TYPE_KPC 0x20000000u   // ".kpc"
#define SPRLOAD_TYPES (SPRLOAD_TYPE_BMP | SPRLOAD_TYPE_JPEG | SPRLOAD_TYPE_KPC)

#define WM_SPRLOAD_IDLE (WM_USER + 9)
#define WM_SPRLOAD_NODATA (WM_USER + 10)
#define WM_SPRLOAD_BATCH (WM_USER + 11)

// One queued picture, kept by value; all zero when made. Two requests are
// equal when their names and ids are.
struct SPRLOAD_REQUEST {
    char name[256] = {};         // the file name, NUL-terminated
    DWORD id = 0;                // the caller's key
    DWORD flags = 0;             // the caller's load flags and the type bit
    SPRITE_DATA* data = NULL;    // the loaded picture (one reference); null until loaded
    BYTE done = 0;               // 1 once the request has been worked
    DWORD p1 = 0, p2 = 0;        // passed through from the caller

    bool operator==(const SPRLOAD_REQUEST& o) const
    {
        return id == o.id && std::strcmp(name, o.name) == 0;
    }
};

class KESTREL_API sprLoad : public KThread {
public:
    // graph: the device that releases the pictures; hwnd: the window told of
    // the work; expected: the number of finished requests at which
    // WM_SPRLOAD_BATCH is posted.
    sprLoad(KGraph* graph, HWND hwnd, DWORD expected);
    // Stop, then everything the loader made goes.
    ~sprLoad() override;
    sprLoad(const sprLoad&) = delete;
    sprLoad& operator=(const sprLoad&) = delete;

    DWORD ThreadProc() override;

    // Starts the worker, which waits for Start. 0, or E_FAIL after a report.
    long Init();
    // Queues a request unless an equal one is queued; `added` counts every
    // call. A name that does not fit the request (255 characters) is
    // refused with a report.
    void Load(const char* name, DWORD id, DWORD flags, DWORD p1, DWORD p2);
    // The queued request with this name and id, or null. The request stays
    // where it is until Remove takes it out. flags is not compared.
    SPRLOAD_REQUEST* Find(const char* name, DWORD id, DWORD flags);
    // Takes a request out of the queue and gives its picture back to the
    // device; the request the worker is on stays.
    void Remove(const char* name, DWORD id, DWORD flags);
    // When the worker is idle: begins a walk at the first request and wakes
    // the worker.
    void Start();
    // The worker's step to the next request: counts the one finished (and
    // posts WM_SPRLOAD_BATCH when the count reaches expected), then moves the
    // walk on (posting WM_SPRLOAD_IDLE when none is left).
    void Next();
    // A scratch sprite of at least w x h (made again when smaller), cleared
    // to 0: the clear's result, or 3 when it cannot be made.
    long PrepareBuffer(long w, long h);
    // Closes the request's source file.
    void CloseFiles();
    // Gives every picture back to the device but that of the request the
    // worker is on; the requests stay queued.
    void ReleaseData();
    // Ends the worker (a load in progress is finished first), then
    // ReleaseData. Init starts it again; the requests are still queued.
    void Stop();

private:
    friend struct sprLoadAccess;  // tests
    typedef KLink<SPRLOAD_REQUEST, 16, 128> List;
    typedef List::Node Node;

    Node* _find(const char* name, DWORD id);
    Node* _current();
    // Moves the walk on from the current request (from the first when there
    // is none); true when none is left. Under the queue lock.
    bool _advance();
    void _post(UINT msg);
    void _work(Node* req);
    long _open(Node* req);
    long _load(Node* req);
    void _releasedata(SPRLOAD_REQUEST& req);

    KCriticalSection m_QueueLock;   // the requests, the walk and the counters
    List m_Requests;
    KCriticalSection m_WorkLock;    // held by the worker on one request
    Node* m_pCurrent;               // the request being worked on; null when idle
    KGraph* m_pGraph;
    HWND m_hWnd;
    KFile m_File;                   // the current request's source, once opened
    KSprite* m_pBuffer;             // PrepareBuffer's scratch sprite; owned
    KGraphGDI* m_pDecoder;          // the worker's own device; owned
    KESTREL_COLOR_MODE m_kcm;       // the colour mode pictures are made in
    DWORD m_dwAdded;
    DWORD m_dwFinished;
    DWORD m_dwExpected;
};
