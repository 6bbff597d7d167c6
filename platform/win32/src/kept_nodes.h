// The nodes of a map's erased entries, kept for the entries that follow: a
// map whose entries come and go every frame (the contexts a game takes and
// releases to present) then stops reaching the heap. Guarded by whatever
// guards the map.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

template <class Map>
class KeptNodes {
public:
    using Node = typename Map::node_type;

    explicit KeptNodes(size_t most) : m_most(most) { m_nodes.reserve(most); }

    // Erases the entry at it, keeping its node while fewer than `most` are.
    void Erase(Map& map, typename Map::iterator it)
    {
        Node node = map.extract(it);
        if (m_nodes.size() < m_most)
            m_nodes.push_back(std::move(node));
    }
    // A kept node, or an empty one when none is kept.
    Node Take()
    {
        if (m_nodes.empty())
            return Node();
        Node node = std::move(m_nodes.back());
        m_nodes.pop_back();
        return node;
    }

private:
    std::vector<Node> m_nodes;
    size_t m_most;
};
