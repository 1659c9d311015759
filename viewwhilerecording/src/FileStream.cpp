#include "FileStream.h"

#include "platform/buffered_file.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

FileStream OpenReadStream(const std::string& path) { return FileStream(platform::OpenBufferedFileForReading(path)); }

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
