#pragma once
// Bitmap resources by id, as packed device-independent bitmaps (a 40-byte
// BITMAPINFOHEADER, the colour table, then bottom-up rows padded to 4 bytes),
// which is how a Windows executable stores them.

#include <cstdint>
#include <vector>

class ResourceStore {
public:
    virtual ~ResourceStore() = default;
    // False when the program has no bitmap with that id.
    virtual bool GetBitmapBytes(std::uint16_t id, std::vector<std::uint8_t>& out) = 0;
};

// The store images load from; each program installs its own at start.
ResourceStore* GetResourceStore();
void SetResourceStore(ResourceStore* store);
