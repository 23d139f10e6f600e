#pragma once
// The end of a backup run's archive work: save and close the archive, and with the
// option "Sicherung nach dem Packen prüfen" read it back from the disk first.
namespace vb {

class ArchiveWriter;

// Saves and closes the archive open in `writer`. With `verify` on, the new archive
// is checked (ArchiveVerifier, with the writer's password) after it is written and
// flushed and before it replaces the archive on disk; the result goes into the log.
// A fault throws vb::Error: the old archive stays as it was, and the writer drops
// what it held, so that no later save commits the unchecked bytes.
void SaveAndCloseArchive(ArchiveWriter& writer, bool verify);

}  // namespace vb
