// Reads the render engine's private state for tests.
#pragma once
#include <doit.h>
#include "krenderengine_state.h"
#include <cstdlib>
#include <string>
#include <vector>

struct KRenderEngineAccess {
    typedef KRenderEngine::rectlist_node Command;

    static SPRITE_DATA* CutSpr(KRenderEngine* e) { return e->GetCutSpr(); }
    static void* NodeBlock(size_t size) { return KRenderEngine::_nodeblock(size); }
    static void FreeNodeBlock(void* block) { KRenderEngine::_freenodeblock(block); }
    static bool CutMode(KRenderEngine* e) { return e->GetCutMode(); }

    static std::vector<Command> List(KRenderEngine::rectlist* list)
    {
        std::vector<Command> out;
        KRenderEngine::Node* node = nullptr;
        KRenderEngine::Node* cursor = nullptr;
        if (list->list.GetCount() == 0)
            return out;
        do {
            list->list.GetNext(node, cursor);
            if (node)
                out.push_back(*node);
        } while (cursor);
        return out;
    }
    static std::vector<Command> Recorded(KRenderEngine* e) { return List(e->m_pRecord); }
    static std::vector<Command> Previous(KRenderEngine* e) { return List(e->m_pPrev); }
    // One frame of the engine alone: the number of commands replayed.
    static int Render(KRenderEngine* e) { return e->Render(); }
    static bool LastFrameUsedGrid(KRenderEngine* e)
    {
        return e->m_frame->m_lastMode == KRenderEngine::FrameState::kFrameGrid;
    }
    static bool LastFrameUsedBox(KRenderEngine* e)
    {
        return e->m_frame->m_lastMode == KRenderEngine::FrameState::kFrameBox;
    }
    // How the last frame of the cut sprite was built: "unchanged", "exact",
    // "box", "grid" or "whole".
    static std::string LastFrameMode(KRenderEngine* e)
    {
        static const char* const kNames[] = {"unchanged", "exact", "box", "grid", "whole"};
        return kNames[e->m_frame->m_lastMode];
    }
    // The strategy KESTREL_FRAME asks for, by its name; empty when the
    // engine chooses.
    static std::string ForcedFrame()
    {
        static const char* const kNames[] = {"exact", "box", "grid", "whole", "search"};
        const char* setting = std::getenv("KESTREL_FRAME");
        for (const char* name : kNames)
            if (setting != nullptr && std::string(setting) == name)
                return name;
        return "";
    }
    // The frame recorded so far still matches the previous one in step.
    static bool InStep(KRenderEngine* e) { return e->m_bStep; }
    // Changes of the last frame found hidden in whole or part under covers.
    static long HiddenChanges(KRenderEngine* e) { return e->m_frame->m_nHidden; }
    static DWORD RecordCapacity(KRenderEngine* e) { return e->m_pRecord->capacity; }
    // Text recorded as it is, without formatting (and its 255-byte cut).
    static void Text(KRenderEngine* e, SPRITE_DATA* dst, KFont* font, long x, long y,
                     DWORD colour, const char* text)
    {
        e->Printf(dst, font, x, y, colour, text);
    }
    static KRenderEngine::rectlist* RecordList(KRenderEngine* e) { return e->m_pRecord; }
    static BYTE* Request(KRenderEngine* e, DWORD size)
    {
        return e->RequestParamSize(e->m_pRecord, size);
    }
};
