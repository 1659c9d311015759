#include "storage/recorder_folders.h"

#include "app/console.h"
#include "app/design_texts.h"

namespace {

// Main thread only, as every road runs there.
unsigned foldersNotOwned = 0;

}  // namespace

int MakeFolderForRecorder(const platform::Folder& parent, const std::string& name, const platform::EntryFacts& like) {
    const bool readable = like.kind == platform::EntryKind::Folder;
    bool kept = true;
    const int error = parent.MakeFolderLike(name, readable ? like : parent.OwnFacts(), kept);
    if (error == 0 && !kept) ++foldersNotOwned;
    return error;
}

void ReportFoldersNotOwned(const std::string& routine) {
    if (foldersNotOwned == 0) return;
    console::WriteLine(design_texts::FoldersNotOwnedLine(routine, foldersNotOwned));
    foldersNotOwned = 0;
}
