#pragma once

#include "mp4parser/BoxBody.h"
#include "mp4parser/Movie.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// Reads a "moov" body into movie. Tracks after the sixteenth are passed over.
void ReadMovie(BoxBody& moov, Movie& movie);

// The sample description ("stsd") body and the elementary-stream descriptor
// ("esds") body; each box reader gets the reader right after its header.
void ReadSampleDescription(BoxBody& stsd, TrackDescription& track);
void ReadElementaryStreamDescriptor(BoxBody& esds, ElementaryStreamDescriptor& descriptor);

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
