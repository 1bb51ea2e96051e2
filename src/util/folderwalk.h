#pragma once
// The walk over a whole folder tree that the music search makes, and the flag `FlagFind` that
// ends it.
//
// Linux makes two things of a naive walk unsafe, and the walk refuses both:
// - cycles: links to folders are never followed (a file link is taken as the file it names),
//   and each folder, told by its (device, inode) pair, is entered once, so a bind mount of a
//   parent folder cannot loop either;
// - folders that are not files: /proc, /sys, /dev and /run, and every mount point whose file
//   system is one of the kernel's virtual ones or a network or user-space one that can hang,
//   are left out without being touched (told from the mount table, by path alone). The root a
//   walk starts from is walked whatever it is: the operator chose it.
//
// Thread contract: FindFlag may be used from any thread. WalkFolders runs wholly on the thread
// that calls it (the searches call it on a worker thread) and shares nothing but the flag.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace velorixa::util {

// `FlagFind`: true while a search may go on. Clearing it ends every walk running at that moment
// (started with an earlier token); a walk started later is not ended by an earlier
// clear, and starting one never revives a walk that was ended.
class FindFlag {
  public:
    using Token = unsigned;
    // `FlagFind` := true for a walk that starts now; it goes on while goesOn(token).
    Token start() const { return clears_.load(std::memory_order_acquire); }
    // `FlagFind` := false.
    void clear() { clears_.fetch_add(1, std::memory_order_acq_rel); }
    bool goesOn(Token token) const { return clears_.load(std::memory_order_acquire) == token; }

  private:
    std::atomic<Token> clears_{0};
};

// The file-system side of a walk: which folders it leaves out, and how it opens a folder.
struct WalkRules {
    // The mount table of this machine (/proc/self/mountinfo).
    static WalkRules ForThisSystem();
    // The mount table in the text form of /proc/self/mountinfo.
    static WalkRules FromMountInfo(const QByteArray& table);

    // Mount point (no trailing "/") -> file-system type.
    QHash<QString, QByteArray> mounts;
    // Further folders (absolute, no trailing "/") the walk does not enter, nor anything below
    // them; the music search fills it with the machine's temporary and system folders.
    QStringList leftOut;
    // Opens a folder for listing as open(2) does (a descriptor, or -1 with errno set). root is
    // true for the walk's own root, the one folder that may be reached through a link. Tests
    // replace it to make a folder unreadable or a listing fail.
    std::function<int(const QByteArray& path, bool root)> openFolder = OpenFolder;

    // True when the walk must not enter path (absolute, no trailing "/").
    bool skips(const QString& path) const;
    static int OpenFolder(const QByteArray& path, bool root);
    // Kernel-made (proc, sysfs, ...), network (nfs, cifs, ...) and user-space (fuse.*) file
    // systems; "fuseblk" (NTFS, exFAT disks) is a local disk and is walked.
    static bool LeftOutType(const QByteArray& type);
};

enum class WalkEnd {
    Done,     // every folder was walked
    Stopped,  // the flag was cleared, or the visitor asked to stop
    Failed    // a folder could not be listed for another reason than access or absence
};

// Called for each folder walked, with the folder's path (ending in "/") and the names of its
// regular files (links to regular files included), sorted; returns false to end the walk. Paths
// and names are the file system's bytes as util::PathFromBytes carries them (a name that is not
// UTF-8 is walked and handed over like any other).
using FolderVisitor = std::function<bool(const QString& folder, const QStringList& files)>;

// Walks root and every folder below it, depth first: a folder's own files before its
// subfolders, the subfolders in name order (see SortNames). Folders whose name begins with "."
// are not entered. goesOn is asked before each folder; the visitor asks it before each file.
// Folders that cannot be read (no permission, gone, no medium, I/O error) are skipped silently.
WalkEnd WalkFolders(const QString& root, const WalkRules& rules,
                    const std::function<bool()>& goesOn, const FolderVisitor& visit);

// Name order of the listings: letter case ignored, ties by exact text, so the order never
// depends on the file system.
void SortNames(QStringList& names);

}  // namespace velorixa::util
