// Extraction by masks and the output path of each item. Update archives arrive over
// plain HTTP and are unpacked with their stored folders restored, so a stored name is
// confined to the target folder, and kept off the devices Windows reads in some names,
// before anything is created for it.
#include "archive/core/ararchive.h"
#include "archive/core/knownfolders.h"

namespace {

// Windows before 11 opens a device for a path part that names one, in any folder and
// whatever follows from its first "." or trails in blanks ("nul.txt", "Con .log", "lpt1.").
// The console's CONIN$ and CONOUT$, device names on newer versions, go by the same rule:
// no file an update ships needs those names. Names reach the file APIs as ANSI text; every
// ANSI code page that has the superscript digits, which Windows also takes as port
// numbers, holds them at 0xB9, 0xB2 and 0xB3.
bool NamesDevice(const std::string& part) {
  std::string stem = part.substr(0, part.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& ch : stem)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (stem == device) return true;
  if (stem.size() != 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)) return false;
  const auto port = static_cast<unsigned char>(stem[3]);
  return (port >= '1' && port <= '9') || port == 0xB9 || port == 0xB2 || port == 0xB3;
}

}  // namespace

bool TArArchive::IsConfinedName(const std::string& storedName, TArExtractOptions extractOptions) {
  std::string name = storedName;
  ToBackslashes(name);
  const std::string part = (extractOptions & eoRestorePath) ? name : name.substr(name.rfind('\\') + 1);
  // Rooted, share, drive or stream names; ":" never belongs to a plain file name.
  if (!part.empty() && part[0] == '\\') return false;
  if (part.find(':') != std::string::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = part.find('\\', start);
    const std::string c = part.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // "..", and the forms the file system reads as ".." (trailing dots and blanks are
    // dropped by Windows).
    size_t dots = 0;
    bool onlyDotsAndBlanks = !c.empty();
    for (char ch : c) {
      if (ch == '.')
        ++dots;
      else if (ch != ' ')
        onlyDotsAndBlanks = false;
    }
    if (onlyDotsAndBlanks && dots >= 2) return false;
    if (NamesDevice(c)) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

bool TArArchive::PrepareOutputPath(const std::string& baseDirectory, std::string& name,
                                   TArExtractOptions extractOptions, const TArConfirmOverwriteEvent& onConfirmOverwrite,
                                   TArKnownFolders* knownFolders) {
  if (!IsConfinedName(name, extractOptions)) throw EArException("Invalid stored name");
  bool confirm = true;
  std::string stored = name;
  ToBackslashes(stored);
  std::string path = baseDirectory;
  if (!path.empty() && path.back() != '\\') path += '\\';
  path += (extractOptions & eoRestorePath) ? stored : stored.substr(stored.rfind('\\') + 1);
  const size_t last = path.rfind('\\');
  const std::string dir = last == std::string::npos ? std::string() : path.substr(0, last);
  if (!dir.empty() && !(knownFolders && knownFolders->Has(dir))) {
    if (DirectoryExistsNoWild(dir)) {
      if (knownFolders) knownFolders->Add(dir);
    } else {
      if (!(extractOptions & eoCreateDirs)) throw EArNoSuchDirectory();
      // Remembered only once the next item finds it: making it may have failed.
      CreateDirectoryPath(dir);
    }
  }
  if (knownFolders) knownFolders->BeginEntry(stored);
  if (onConfirmOverwrite && os::FileExists(path)) {
    // Not asked about a file this walk wrote: the entry fails.
    if (knownFolders) knownFolders->CheckNotWritten(path);
    onConfirmOverwrite(path, confirm);
  }
  if (confirm) name = path;
  return confirm;
}

void TArArchive::ExtractByMasks(const std::string& fileMasks, const std::string& exclusionMasks) {
  // The folder the caller names is the folder used: read as OEM text, the ANSI "Müller"
  // of progs.kvr names another one. Only a folder not there as given is read so, once:
  // converting the converted value again would name yet another folder.
  if (!baseConverted_ && os::FileApisAreAnsi() && !baseDirectory_.empty() && !DirectoryExistsNoWild(baseDirectory_)) {
    SetBaseDirectory(os::OemTextToAnsi(baseDirectory_.substr(0, 260)));
    baseConverted_ = true;
  }
  CheckUsable();
  if (Count() == 0) return;
  // Queued changes are written before the walk: a save between items would drop
  // deleted items and move the later ones under the walk's feet.
  for (int32_t i = 0; i < Count(); ++i)
    if (Items->Get(i)->PendingAction != aaNone) {
      Save();
      break;
    }
  const int32_t n = Count();
  TArKnownFolders folders;
  struct Walk {
    TArArchive* a;
    TArKnownFolders* outer;
    ~Walk() { a->walkFolders_ = outer; }
  } walk{this, walkFolders_};
  walkFolders_ = &folders;
  bool abort = false;
  for (int32_t i = 0; i < n && i < Count(); ++i) {
    TArArchiveItem* item = Items->Get(i);
    if (item->MatchesMaskList(fileMasks) && !item->MatchesMaskList(exclusionMasks)) ExtractItemAt(i);
    ReportArchiveProgress(PercentOf(i + 1, Count()), abort);
    if (abort) throw EArUserAbort();
  }
  ReportArchiveProgress(100, abort);
}

void TArArchive::ExtractItemAt(int32_t index, const std::string& newName) {
  CheckUsable();
  TArArchiveItem* item = Items->Get(index);
  SavePendingFirst(item);
  // A save may have moved it; the list is searched only then.
  if (index >= Count() || Items->Get(index) != item) index = Items->IndexOf(item);
  if (index < 0) return;  // the save removed it
  EnterBusy();
  struct Leave {
    TArArchive* a;
    ~Leave() { a->LeaveBusy(); }
  } leave{this};
  bool confirm = true;
  ConfirmItem(item, ptExtract, confirm);
  if (!confirm) return;
  const std::string name = newName.empty() ? item->GetStoredName() : newName;
  CurrentItem = item;
  try {
    // A marked name that does not decode has no file name: a substitute would name
    // another file.
    if (newName.empty() && !item->NameDecodes()) throw EArException("Stored name has no form in this code page");
    if (!IsConfinedName(name, ExtractOptions)) throw EArException("Invalid stored name");
    UnpackItemToFile(index, name);
  } catch (...) {
    TArErrorClass cls;
    int32_t code;
    ClassifyCurrentException(cls, code);
    ReportItemFailure(item, ptExtract, cls, code);
    // The user asked to stop (a cancelled prompt, an item progress abort): the walk ends.
    try {
      throw;
    } catch (const EArUserAbort&) { throw; } catch (const EArAbortProgress&) {
      throw;
    } catch (...) {}
  }
}
