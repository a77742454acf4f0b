// COwnedList: objects the scripts made, each with a use count in its node. Release drops a use,
// or at none deletes the object and unlinks it; the four program-wide lists of the scripts
// (image groups, KAD files, cell sheets, file streams) are instances of this one template.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <new>

template <class T>
class COwnedList {
public:
    COwnedList() = default;
    COwnedList(const COwnedList&) = delete;
    COwnedList& operator=(const COwnedList&) = delete;
    ~COwnedList() { ReleaseAll(); }

    // Lists the object (taking it) → the object, or null when no node could be made (deleted).
    T* Add(std::unique_ptr<T> object)
    {
        try {
            m_nodes.push_back(Node{object.get(), 0});
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        return object.release();
    }
    // One more use: the next Release only drops it → false when not listed.
    bool AddUse(const T* object)
    {
        for (Node& node : m_nodes) {
            if (node.object == object) {
                ++node.uses;
                return true;
            }
        }
        return false;
    }
    // → 0 done (a use dropped, or the object deleted and unlinked), 1 null object, 2 not listed.
    int Release(const T* object)
    {
        if (object == nullptr)
            return 1;
        for (auto it = m_nodes.begin(); it != m_nodes.end(); ++it) {
            if (it->object != object)
                continue;
            if (it->uses > 0) {
                --it->uses;
            } else {
                T* doomed = it->object;
                m_nodes.erase(it);
                delete doomed;
            }
            return 0;
        }
        return 2;
    }
    // Release for every listed object.
    void ReleaseAll()
    {
        for (auto it = m_nodes.begin(); it != m_nodes.end();) {
            if (it->uses > 0) {
                --it->uses;
                ++it;
            } else {
                T* doomed = it->object;
                it = m_nodes.erase(it);
                delete doomed;
            }
        }
    }
    bool Contains(const T* object) const
    {
        for (const Node& node : m_nodes) {
            if (node.object == object)
                return true;
        }
        return false;
    }
    size_t GetCount() const { return m_nodes.size(); }
    template <class F>
    void ForEach(F&& f) const
    {
        for (const Node& node : m_nodes)
            f(node.object);
    }

private:
    struct Node {
        T* object;
        uint32_t uses;
    };
    std::list<Node> m_nodes;
};
