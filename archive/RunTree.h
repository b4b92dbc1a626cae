#pragma once

// Where the launcher's files lie, relative to its working folder ".../Launcher/bin/release"
// (the program's own folder). Every module reads and writes through these.
namespace runtree {

constexpr char resourceFolder[] = "../../resource/";
constexpr char archivePath[] = "../../resource/res.dat";
constexpr char savedDataPath[] = "../../resource/app.dat";
constexpr char iconPath[] = "../../resource/icon.ico";
// The games' folders are "<gamesFolder><Game>", beside the Launcher folder.
constexpr char gamesFolder[] = "../../../";

} // namespace runtree
