// Edits a volume image the way a damaged or hostile volume differs from a sound one: fields of the
// boot sector, of a file record's header, of its attributes (sizes, VCNs, run lists, attribute
// list entries, parent references), attributes dropped, with the record's fix-up written back so
// that the edit reaches the code behind the fix-up check. Random bytes rarely build a coherent
// record 0 that claims something huge; these edits make one on purpose.
#pragma once

#include <cstddef>
#include <cstdint>

// Edits data[0, size) in place (the size never changes) and returns the size, or 0 when the
// bytes are not laid out as a volume with a findable record 0, for the caller to fall back to
// plain byte edits.
std::size_t MutateVolume(uint8_t* data, std::size_t size, unsigned seed);
