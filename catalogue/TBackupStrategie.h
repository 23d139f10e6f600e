#pragma once
#include <cstdint>

namespace vb {

// How archives are named and rotated. The ordinal is the registry value STRATEGIE and
// the item index of the strategy radio group.
enum TBackupStrategie : std::uint8_t {
    bsJedenTag = 0,          // one archive per day
    bsDreiGenerationen = 1,  // three generations _1, _2, _3
    bsGleicheDatei = 2,      // always the same archive
};

}  // namespace vb
