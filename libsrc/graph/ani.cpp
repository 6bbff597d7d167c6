// KAni: frames, playback by the clock, and the KAni file read and written
// field by field (the layout is in ani.h).
#include "ani.h"
#include "kgraph.h"
#include "ksprite.h"
#include "kloaders.h"
#include <kbase.h>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

const BYTE kAniTag[4] = {'K', 'A', 'n', 'i'};
const DWORD kAniHeadWords = 12;  // the three words after the length
const uint64_t kAniHeadBytes = 20;
const size_t kAniNameBytes = 64;  // a name and its NUL
const uint64_t kAniFrameBytes = 24;
const DWORD kAniLoadFlags = 17;   // colour-keyed pictures

// One frame as the file gives it.
struct FileFrame {
    DWORD image;
    DWORD delay;
    RECT rc;
};

void Put32(std::vector<BYTE>& out, DWORD v)
{
    out.push_back(BYTE(v));
    out.push_back(BYTE(v >> 8));
    out.push_back(BYTE(v >> 16));
    out.push_back(BYTE(v >> 24));
}

bool GetRect(ByteReader& in, RECT& rc)
{
    DWORD v[4];
    for (DWORD& w : v)
        if (!in.u32(w))
            return false;
    rc.left = LONG(int32_t(v[0]));
    rc.top = LONG(int32_t(v[1]));
    rc.right = LONG(int32_t(v[2]));
    rc.bottom = LONG(int32_t(v[3]));
    return true;
}

// The folder of a KAni file: its name up to and including the last '\'
// (only '\' separates folders in these names); empty without one.
std::string FolderOf(const char* filename)
{
    const char* slash = std::strrchr(filename, '\\');
    return slash != NULL ? std::string(filename, size_t(slash - filename) + 1) : std::string();
}

// A frame's rectangle must lie inside its picture: the blitters do not clip
// a source rectangle's left and top.
bool RectInside(const RECT& rc, KSprite* pic)
{
    return rc.left >= 0 && rc.top >= 0 && rc.left <= rc.right && rc.top <= rc.bottom &&
           rc.right <= pic->GetWidth() && rc.bottom <= pic->GetHeight();
}

}  // namespace

KAni::KAni()
    : m_Frames(NULL), m_dwMaxFrame(0), m_dwCurFrame(0), m_dwLastTime(0), m_bColorKey(false)
{
}

KAni::KAni(const char* filename, KGraph* graph) : KAni()
{
    Load(filename, graph);
}

KAni::~KAni()
{
    Release();
}

long KAni::Init(DWORD dwMaxFrame)
{
    KASSERT(m_Frames == NULL);
    KASSERT(dwMaxFrame > 0);
    if (m_Frames != NULL || dwMaxFrame == 0)
        return KRET_ERROR;
    m_Frames = new (std::nothrow) ANI_FRAME[dwMaxFrame];
    KASSERT(m_Frames);
    if (m_Frames == NULL)
        return KRET_NOMEMORY;
    for (DWORD i = 0; i < dwMaxFrame; i++)
        m_Frames[i] = ANI_FRAME{0, NULL, 0};
    m_dwMaxFrame = dwMaxFrame;
    // A new set of frames plays from its start: an index left from an
    // earlier, longer animation would read past the array.
    m_dwCurFrame = 0;
    m_dwLastTime = 0;
    return 0;
}

void KAni::SetFrame(DWORD index, KSprite* spr, RECT& rect, DWORD delay, DWORD imageIndex)
{
    KASSERT(index < m_dwMaxFrame);
    if (index >= m_dwMaxFrame || m_Frames == NULL)
        return;
    KASSERT(m_Frames[index].spr == NULL);
    KASSERT(spr != NULL && spr->IsInited());
    if (m_Frames[index].spr != NULL || spr == NULL || !spr->IsInited())
        return;
    m_Frames[index].spr = new (std::nothrow) KSprite(*spr, rect);
    KASSERT(m_Frames[index].spr != NULL);
    m_Frames[index].delay = delay;
    m_Frames[index].image = imageIndex;
}

void KAni::Release()
{
    if (m_Frames != NULL) {
        for (DWORD i = 0; i < m_dwMaxFrame; i++)
            delete m_Frames[i].spr;  // drops the view's reference on the picture
        delete[] m_Frames;
        m_Frames = NULL;
    }
    // An empty animation counts no frames, so nothing reads the array.
    m_dwMaxFrame = 0;
    m_dwCurFrame = 0;
    m_dwLastTime = 0;
}

long KAni::Load(const char* filename, KGraph* pGraph)
{
    KASSERT(m_Frames == NULL);
    KASSERT(filename != NULL && filename[0] != '\0');
    KASSERT(pGraph);
    if (m_Frames != NULL || filename == NULL || filename[0] == '\0' || pGraph == NULL)
        return KRET_ERROR;
    KGraph* graph = pGraph;
    Release();  // frame 0, clock stopped, whatever the outcome

    KFile file;
    if (file.Open(filename, 1) != 0)
        return KRet(KRET_CANTOPEN, "KAni::Load(%s) open fail", filename);
    ByteReader in(&file);
    BYTE tag[4];
    DWORD headWords = 0, flags = 0, images = 0, frames = 0;
    if (!in.bytes(tag, 4) || !in.u32(headWords) || !in.u32(flags) || !in.u32(images) ||
        !in.u32(frames))
        return KRet(KRET_MALFORMED, "KAni::Load(%s) short header", filename);
    // Both counts together must account for the whole file, so neither can
    // ask for more than the file holds.
    const uint64_t size = kAniHeadBytes + uint64_t(images) * kAniNameBytes +
                          uint64_t(frames) * kAniFrameBytes;
    if (size != file.GetSize())
        return KRet(KRET_MALFORMED, "KAni::Load(%s) %u images and %u frames do not match the file size %u",
                    filename, unsigned(images), unsigned(frames), unsigned(file.GetSize()));

    std::vector<std::string> names(images);
    for (DWORD i = 0; i < images; i++) {
        char field[kAniNameBytes];
        if (!in.bytes(field, sizeof(field)))
            return KRet(KRET_MALFORMED, "KAni::Load(%s) short file", filename);
        if (std::memchr(field, 0, sizeof(field)) == NULL)
            return KRet(KRET_MALFORMED, "KAni::Load(%s) image name %u has no end", filename, unsigned(i));
        names[i] = field;
    }
    std::vector<FileFrame> list(frames);
    for (DWORD j = 0; j < frames; j++) {
        FileFrame& f = list[j];
        if (!in.u32(f.image) || !in.u32(f.delay) || !GetRect(in, f.rc))
            return KRet(KRET_MALFORMED, "KAni::Load(%s) short file", filename);
        if (f.image >= images)
            return KRet(KRET_MALFORMED, "KAni::Load(%s) frame %u names image %u of %u", filename, unsigned(j),
                        unsigned(f.image), unsigned(images));
    }
    file.Close();
    if (frames == 0) {
        m_bColorKey = (flags & KANI_FLAG_COLORKEY) != 0;
        return 0;  // nothing to show
    }

    // The pictures, shared through the sprite cache; the frames' views keep
    // them alive once these handles are given back.
    const std::string folder = FolderOf(filename);
    std::vector<KSprite*> pics(images, NULL);
    auto giveBack = [&]() {
        for (KSprite*& pic : pics)
            graph->ReleaseKSprite(pic);
    };
    for (DWORD i = 0; i < images; i++) {
        const std::string path = folder + names[i];
        pics[i] = graph->Load(path.c_str(), kAniLoadFlags, NULL);
        if (pics[i] == NULL) {
            giveBack();
            return KRet(KRET_CANTOPEN, "KAni::Load(%s) image %s", filename, path.c_str());
        }
    }
    for (DWORD j = 0; j < frames; j++) {
        if (!RectInside(list[j].rc, pics[list[j].image])) {
            giveBack();
            return KRet(KRET_MALFORMED, "KAni::Load(%s) frame %u lies outside its image", filename, unsigned(j));
        }
    }

    long result = Init(frames);
    for (DWORD j = 0; j < frames && result == 0; j++) {
        SetFrame(j, pics[list[j].image], list[j].rc, list[j].delay, list[j].image);
        if (m_Frames[j].spr == NULL)
            result = KRet(KRET_NOMEMORY, "KAni::Load(%s) frame %u", filename, unsigned(j));
    }
    giveBack();
    if (result != 0) {
        Release();
        return result;
    }
    m_bColorKey = (flags & KANI_FLAG_COLORKEY) != 0;
    return 0;
}

long KAni::Save(const char* filename, DWORD imageCount, const char* kpc)
{
    KASSERT(filename != NULL && filename[0] != '\0');
    if (imageCount > 0)
        KASSERT(kpc != NULL && kpc[0] != '\0');
    if (filename == NULL || filename[0] == '\0' || (imageCount > 0 && kpc == NULL))
        return KRET_ERROR;

    // The whole file is built first, so a refusal writes nothing.
    std::vector<BYTE> out(kAniTag, kAniTag + 4);
    Put32(out, kAniHeadWords);
    Put32(out, m_bColorKey ? KANI_FLAG_COLORKEY : 0);
    Put32(out, imageCount);
    Put32(out, m_Frames != NULL ? m_dwMaxFrame : 0);
    const char* name = kpc;
    for (DWORD i = 0; i < imageCount; i++) {
        // A name cut to fit its field would name another file.
        const size_t len = strnlen(name, kAniNameBytes);
        if (len >= kAniNameBytes)
            return KRet(KRET_ERROR, "KAni::Save(%s) image name %u is too long", filename, unsigned(i));
        const size_t at = out.size();
        out.resize(at + kAniNameBytes, 0);
        std::memcpy(&out[at], name, len);
        name += len + 1;
    }
    for (DWORD i = 0; m_Frames != NULL && i < m_dwMaxFrame; i++) {
        const ANI_FRAME& f = m_Frames[i];
        KASSERT(m_Frames[i].spr != NULL);
        if (f.spr == NULL)
            return KRET_ERROR;
        if (f.image >= imageCount)
            return KRet(KRET_ERROR, "KAni::Save(%s) frame %u names image %u of %u", filename, unsigned(i),
                        unsigned(f.image), unsigned(imageCount));
        const RECT& rc = f.spr->GetRect();
        Put32(out, f.image);
        Put32(out, f.delay);
        Put32(out, DWORD(rc.left));
        Put32(out, DWORD(rc.top));
        Put32(out, DWORD(rc.right));
        Put32(out, DWORD(rc.bottom));
    }

    KFile file;
    if (file.Open(filename, 2) != 0)
        return KRet(KRET_CANTOPEN, "KAni::Save(%s) open fail", filename);
    if (file.Write(out.data(), DWORD(out.size())) != out.size())
        return KRet(KRET_CANTOPEN, "KAni::Save(%s) write fail", filename);
    file.Close();
    return 0;
}

bool KAni::_hasframe(DWORD index) const
{
    return m_Frames != NULL && index < m_dwMaxFrame;
}

KSprite* KAni::GetCurSprite()
{
    KASSERT(m_dwCurFrame < m_dwMaxFrame);
    KASSERT(m_Frames != NULL);
    return _hasframe(m_dwCurFrame) ? m_Frames[m_dwCurFrame].spr : NULL;
}

KSprite* KAni::GetSprite(DWORD index)
{
    KASSERT(index < m_dwMaxFrame);
    if (index < m_dwMaxFrame)
        KASSERT(m_Frames != NULL && m_Frames[index].spr != NULL);
    return _hasframe(index) ? m_Frames[index].spr : NULL;
}

// The current frame's sprite for the size queries, asserted as they are.
KSprite* KAni::_currentforsize()
{
    KASSERT(m_dwCurFrame < m_dwMaxFrame);
    if (m_dwCurFrame < m_dwMaxFrame)
        KASSERT(m_Frames != NULL && m_Frames[m_dwCurFrame].spr != NULL);
    return _hasframe(m_dwCurFrame) ? m_Frames[m_dwCurFrame].spr : NULL;
}

long KAni::GetWidth()
{
    KSprite* spr = _currentforsize();
    return spr != NULL ? long(spr->GetRectWidth()) : 0;
}

long KAni::GetHeight()
{
    KSprite* spr = _currentforsize();
    return spr != NULL ? long(spr->GetRectHeight()) : 0;
}

long KAni::_nextframe(DWORD& cur) const
{
    if (uint64_t(cur) + 1 >= m_dwMaxFrame) {
        cur = 0;
        return KANI_WRAPPED;
    }
    cur++;
    return long(cur) + 1;
}

long KAni::_action(DWORD& cur, DWORD& last) const
{
    if (m_Frames == NULL)
        return 0;
    if (cur >= m_dwMaxFrame)
        cur = 0;  // a player's index from before the animation was reloaded
    const DWORD now = timeGetTime();
    if (last == 0) {
        last = now;
        return 0;
    }
    if (DWORD(now - last) < m_Frames[cur].delay)
        return 0;
    const long r = _nextframe(cur);
    last = now;
    return r;
}

long KAni::_draw(DWORD& cur, DWORD& last, long x, long y) const
{
    if (m_Frames == NULL)
        return 0;
    const long r = _action(cur, last);
    KSprite* spr = m_Frames[cur].spr;
    if (spr == NULL)
        return 0;
    if (m_bColorKey)
        spr->Draw_ck(x, y);
    else
        spr->Draw(x, y);
    return r;
}

long KAni::NextFrame()
{
    return _nextframe(m_dwCurFrame);
}

long KAni::Action()
{
    return _action(m_dwCurFrame, m_dwLastTime);
}

long KAni::Draw(long x, long y)
{
    return _draw(m_dwCurFrame, m_dwLastTime, x, y);
}
