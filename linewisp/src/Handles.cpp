// The handle table: the packet is a fixed 108-byte record with 32-bit fields
// where other objects are referred to, so those objects are registered here
// and the packet holds their numbers. Numbers are never reused, so a stale
// handle finds nothing instead of a stranger's object.
#include "Internal.h"

#include <map>
#include <memory>
#include <mutex>
#include <new>

namespace linewisp {
namespace {

struct Entry {
    VectObjectList* list = nullptr;              // not owned: the caller's
    std::unique_ptr<plastora::Surface> surface;  // owned by the packet
};

struct Table {
    std::mutex mutex;
    std::map<std::uint32_t, Entry> entries;
    std::uint32_t next = 1;

    std::uint32_t add(Entry e) {
        std::lock_guard lock(mutex);
        if (next == 0) next = 1;  // after 2^32 registrations; 0 stays "none"
        const std::uint32_t h = next++;
        entries.emplace(h, std::move(e));
        return h;
    }
    // Removes an entry; with ownedOnly, entries of caller-owned lists stay.
    void remove(std::uint32_t h, bool ownedOnly = false) {
        if (h == 0) return;
        std::unique_ptr<plastora::Surface> doomed;
        {
            std::lock_guard lock(mutex);
            auto it = entries.find(h);
            if (it == entries.end() || (ownedOnly && it->second.list)) return;
            doomed = std::move(it->second.surface);
            entries.erase(it);
        }
    }
    VectObjectList* list(std::uint32_t h) {
        std::lock_guard lock(mutex);
        auto it = entries.find(h);
        return it == entries.end() ? nullptr : it->second.list;
    }
    plastora::Surface* surface(std::uint32_t h) {
        std::lock_guard lock(mutex);
        auto it = entries.find(h);
        return it == entries.end() ? nullptr : it->second.surface.get();
    }
};

Table& table() {
    static Table t;
    return t;
}

}  // namespace

void releaseHandle(std::uint32_t h) { table().remove(h, true); }

}  // namespace linewisp

using namespace linewisp;

VectObjectList::VectObjectList() {
    Entry e;
    e.list = this;
    m_handle = table().add(std::move(e));
}

VectObjectList::~VectObjectList() { table().remove(m_handle); }

void VectPacketSetList(VectPacket* packet, VectObjectList* list) {
    if (packet) packet->objectList = list ? list->handle() : 0;
}

VectObjectList* VectPacketList(const VectPacket* packet) {
    return packet && packet->objectList ? table().list(packet->objectList) : nullptr;
}

plastora::Surface* VectCreateSourceSurface(VectPacket* packet, int w, int h) {
    if (!packet) return nullptr;
    table().remove(packet->sourceDC, true);
    packet->sourceDC = 0;
    std::unique_ptr<plastora::Surface> s(new (std::nothrow) plastora::Surface);
    if (!s || !s->create(w, h)) return nullptr;
    plastora::Surface* raw = s.get();
    Entry e;
    e.surface = std::move(s);
    packet->sourceDC = table().add(std::move(e));
    return raw;
}

plastora::Surface* VectSourceSurface(const VectPacket* packet) {
    return packet && packet->sourceDC ? table().surface(packet->sourceDC) : nullptr;
}
