// sprLoad: the request queue, the walk over it, and the worker that opens and
// loads each request's picture.
#include "sprload.h"
#include "kgraph_gdi.h"
#include "ksprite.h"
#include "kspritemanager.h"
#include <new>

namespace {

// The worker's device: the GDI device's loaders and blocks, with a picture
// cache of its own and no render engine, so that decoding on the worker
// touches nothing that the host's device shares with the host's thread (a
// loader that fails gives its half-made block back through the device). It
// is never initialised: the loaders need no back screen.
class DecodingDevice : public KGraphGDI {
public:
    DecodingDevice() { CreateSpriteManager(); }
    ~DecodingDevice() override
    {
        delete m_sprManager;  // an uninitialised device's Release leaves it
        m_sprManager = NULL;
    }
    using KGraph::_loadbmp;
    using KGraph::_loadjpg;
    using KGraph::_loadkpc;
};

// Holds a critical section for one scope.
class Hold {
public:
    explicit Hold(KCriticalSection& cs) : m_cs(cs) { m_cs.Lock(); }
    ~Hold() { m_cs.Unlock(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    KCriticalSection& m_cs;
};

bool SameText(const char* a, const char* b)
{
    for (;; a++, b++) {
        unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x + ('a' - 'A'));
        if (x != y)
            return false;
        if (x == 0)
            return true;
    }
}

// The loader a name asks for, by the extension after its last '.'.
DWORD TypeBit(const char* name)
{
    const char* dot = std::strrchr(name, '.');
    if (dot == NULL)
        return 0;
    if (SameText(dot, ".bmp"))
        return SPRLOAD_TYPE_BMP;
    if (SameText(dot, ".jpg") || SameText(dot, ".jpeg"))
        return SPRLOAD_TYPE_JPEG;
    if (SameText(dot, ".kpc"))
        return SPRLOAD_TYPE_KPC;
    return 0;
}

}  // namespace

sprLoad::sprLoad(KGraph* graph, HWND hwnd, DWORD expected)
    : m_pCurrent(NULL),
      m_pGraph(graph),
      m_hWnd(hwnd),
      m_pBuffer(NULL),
      m_pDecoder(new (std::nothrow) DecodingDevice),
      m_kcm(graph != NULL ? graph->GetDefaultColorMode() : KCM_R5G6B5),
      m_dwAdded(0),
      m_dwFinished(0),
      m_dwExpected(expected)
{
    KASSERT(graph != NULL);
    KASSERT(m_pDecoder != NULL);
}

sprLoad::~sprLoad()
{
    Stop();
    if (m_pBuffer != NULL)
        m_pGraph->ReleaseKSprite(m_pBuffer);
    delete m_pDecoder;
}

long sprLoad::Init()
{
    if (CreateThread(0, NULL, NULL, 0) != 0)
        return KRet(E_FAIL, "sprLoad::Init() CreateThread fail");
    return 0;
}

// ---- The queue (host's thread)

sprLoad::Node* sprLoad::_find(const char* name, DWORD id)
{
    Node* node = NULL;
    Node* cursor = NULL;
    do {
        m_Requests.GetNext(node, cursor);
        if (node != NULL && node->id == id && std::strcmp(node->name, name) == 0)
            return node;
    } while (cursor != NULL);
    return NULL;
}

void sprLoad::Load(const char* name, DWORD id, DWORD flags, DWORD p1, DWORD p2)
{
    KASSERT(name != NULL);
    if (name == NULL)
        return;
    // A name cut to fit would be another file's.
    const size_t len = std::strlen(name);
    if (len >= sizeof(SPRLOAD_REQUEST::name)) {
        KRet(KRET_ERROR, "sprLoad::Load(%s) name too long", name);
        return;
    }
    Hold queue(m_QueueLock);
    if (_find(name, id) == NULL) {
        SPRLOAD_REQUEST req;
        std::memcpy(req.name, name, len + 1);
        req.id = id;
        req.flags = (flags & ~SPRLOAD_TYPES) | TypeBit(name);
        req.p1 = p1;
        req.p2 = p2;
        m_Requests.Add(req);  // a list that cannot grow has reported it
    }
    m_dwAdded++;
}

SPRLOAD_REQUEST* sprLoad::Find(const char* name, DWORD id, DWORD)
{
    if (name == NULL)
        return NULL;
    Hold queue(m_QueueLock);
    return _find(name, id);
}

void sprLoad::Remove(const char* name, DWORD id, DWORD)
{
    if (name == NULL)
        return;
    Hold queue(m_QueueLock);
    Node* req = _find(name, id);
    if (req == NULL || req == m_pCurrent)
        return;  // the worker's request stays, and so does what it is making
    _releasedata(*req);
    m_Requests.Delete(req);
}

void sprLoad::Start()
{
    bool idle, none = false;
    {
        Hold queue(m_QueueLock);
        idle = m_pCurrent == NULL;
        if (idle) {
            Debug("working");
            none = _advance();
        }
    }
    if (none)
        _post(WM_SPRLOAD_IDLE);
    if (idle)
        ResumeThread();
}

// The walk goes from the current request to the one after it, so requests
// appended meanwhile are reached in the same walk; the current request is
// never taken out of the list, so its successor is always a listed request
// or the list's end.
bool sprLoad::_advance()
{
    Node* next = m_pCurrent != NULL ? m_pCurrent->m_pNext : m_Requests.GetHead();
    if (m_Requests.GetCount() == 0 || next == m_Requests.GetEnd())
        next = NULL;
    m_pCurrent = next;
    return next == NULL;
}

void sprLoad::Next()
{
    bool batch, none;
    {
        Hold queue(m_QueueLock);
        m_dwFinished++;
        batch = m_dwFinished == m_dwExpected;
        none = _advance();
    }
    // Posted outside the lock: the window's queue has a lock of its own.
    if (batch)
        _post(WM_SPRLOAD_BATCH);
    if (none)
        _post(WM_SPRLOAD_IDLE);
}

void sprLoad::_post(UINT msg)
{
    if (m_hWnd != NULL)
        PostMessageA(m_hWnd, msg, 0, 0);
}

// ---- Pictures

// One reference given back through the device, which frees the block at its
// last one once its cache and render engine have forgotten it: a handle
// takes a reference of its own, the request's reference is handed over to
// it, and releasing the handle drops it.
void sprLoad::_releasedata(SPRLOAD_REQUEST& req)
{
    if (req.data == NULL || m_pGraph == NULL)
        return;
    KSprite* handle = m_pGraph->CreateSprite(req.data);
    if (handle == NULL)
        return;  // kept for a later release
    req.data->ref--;
    m_pGraph->ReleaseKSprite(handle);
    req.data = NULL;
}

void sprLoad::ReleaseData()
{
    Hold queue(m_QueueLock);
    Node* node = NULL;
    Node* cursor = NULL;
    do {
        m_Requests.GetNext(node, cursor);
        if (node != NULL && node != m_pCurrent)
            _releasedata(*node);
    } while (cursor != NULL);
}

long sprLoad::PrepareBuffer(long w, long h)
{
    KASSERT(m_pGraph != NULL);
    if (m_pGraph == NULL)
        return KRET_ERROR;
    if (m_pBuffer == NULL || m_pBuffer->GetWidth() < w || m_pBuffer->GetHeight() < h) {
        if (m_pBuffer != NULL)
            m_pGraph->ReleaseKSprite(m_pBuffer);
        m_pBuffer = m_pGraph->CreateSprite(w, h, m_kcm, 17);
        if (m_pBuffer == NULL)
            return KRet(KRET_NOMEMORY, "sprLoad::PrepareBuffer(%ld,%ld)", w, h);
    }
    return m_pBuffer->_clear(0);
}

void sprLoad::CloseFiles()
{
    m_File.Close();
}

void sprLoad::Stop()
{
    ExitThread();
    ReleaseData();
}

// ---- The worker's thread

sprLoad::Node* sprLoad::_current()
{
    Hold queue(m_QueueLock);
    return m_pCurrent;
}

DWORD sprLoad::ThreadProc()
{
    while (!ICanExit()) {
        Node* req = _current();
        if (req == NULL) {
            Debug("%p sprLoad Suspend!", static_cast<void*>(this));
            SuspendThread();  // until Start (or Stop)
            continue;
        }
        Hold work(m_WorkLock);
        _work(req);
    }
    {
        Hold queue(m_QueueLock);
        m_pCurrent = NULL;
    }
    CloseFiles();
    CleanUp();
    OutputLog("sprLoad Thread Exit!");
    return 0;
}

void sprLoad::_work(Node* req)
{
    bool loaded;
    {
        Hold queue(m_QueueLock);
        req->done = 0;
        // Loaded in an earlier walk: kept as it is, and the host may hold it.
        loaded = req->data != NULL;
        if (loaded)
            req->done = 1;
    }
    if (loaded) {
        Next();
        return;
    }
    if (!m_File.IsOpen()) {
        const long opened = _open(req);
        Debug("open %s(%p)", req->name, static_cast<void*>(&m_File));
        if (opened != 0) {
            Next();  // skipped
            return;
        }
    }
    if (m_File.IsOpen() && _load(req) != 0) {
        Debug("load end");
        if (req->data == NULL)
            _post(WM_SPRLOAD_NODATA);
        CloseFiles();
        {
            Hold queue(m_QueueLock);
            req->done = 1;
        }
        Next();
    }
}

long sprLoad::_open(Node* req)
{
    return m_File.Open(req->name, 1);
}

// Reads the whole picture with the loader its type bit names; a request
// without one, or whose picture the loader refuses, ends without data.
long sprLoad::_load(Node* req)
{
    DecodingDevice* dev = static_cast<DecodingDevice*>(m_pDecoder);
    const DWORD flags = req->flags & ~SPRLOAD_TYPES;
    SPRITE_DATA* alpha = NULL;  // none of these loaders makes one
    SPRITE_DATA* data = NULL;
    if (dev != NULL) {
        if (req->flags & SPRLOAD_TYPE_BMP)
            data = dev->_loadbmp(alpha, req->name, m_kcm, flags);
        else if (req->flags & SPRLOAD_TYPE_JPEG)
            data = dev->_loadjpg(alpha, req->name, m_kcm, flags, NULL);
        else if (req->flags & SPRLOAD_TYPE_KPC)
            data = dev->_loadkpc(alpha, req->name, m_kcm, flags, NULL);
    }
    Hold queue(m_QueueLock);
    req->data = data;
    return 1;
}
