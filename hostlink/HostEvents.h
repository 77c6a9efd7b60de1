// What the host reported since the renders were last made due: which element types began,
// whether one of them was a song, whether a block began. The reader notes each decoded element
// and block; the scheduler takes them when the host's moment comes and makes due the works whose
// trigger they match.
#pragma once
#include <bitset>
#include <cstdint>

namespace kw {

struct THostEvents {
    std::bitset<256> ElementTypes;  // by type code
    bool Song = false;
    bool Block = false;

    bool Empty() const { return ElementTypes.none() && !Block; }
    void NoteElement(uint8_t type, bool song) {
        ElementTypes.set(type);
        Song = Song || song;
    }
};

} // namespace kw
