#pragma once
// Where the program keeps its files: a per-user program folder for avset.cfg,
// clset.cfg and codec states, a profile file beside it, and read-only assets
// (help page, sounds, pictures) looked up in the program folder first, then in
// the installed share folder (share/kova beside the executable's bin folder),
// then in the source tree.

#include <QString>

namespace kova {

// ~/.config/kova, created when missing.
QString programFolder();
// ~/.config/kova.INI
QString profilePath();
// folder + '/' + relative, with any backslashes of the relative name as '/'.
QString joinPath(const QString& folder, const QString& relative);
// The first existing copy of an asset such as "Audio/RingIn.wav", searched from
// the given program folder; empty when none exists.
QString findAsset(const QString& programFolder, const QString& relative);

}  // namespace kova
