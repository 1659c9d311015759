#include "FileStream.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

FileStream OpenReadStream(const std::string& path) {
    return FileStream(std::fopen(path.c_str(), "rb"));
}

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
