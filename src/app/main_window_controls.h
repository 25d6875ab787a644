#pragma once

namespace kalder {

// The main window's controls by name. The numbers are the controls' ids, which also pick their
// skin pictures in the resource library and name them for tests ("button<id>").
namespace Control {
enum : int {
    FirstChannel = 300, // the sixteen channel buttons, 300-315
    FirstLayout = 320,  // the nine layout buttons, 320-328
    Full = 329,
    // The playback controls under the playback clock, left to right.
    PlayFirst = 340,
    PlayBack = 341,
    PlayForward = 342,
    PlayPause = 343,
    Record = 344, // also the recording state while live view runs
    PlayStop = 345,
    PlayLast = 346,
    Pan = 355,
    Zoom = 356,
    Connect = 360,
    RemoteSearch = 361,
    RemoteSetup = 362,
    LocalSearch = 363,
    LocalSetup = 364,
    Quit = 365,
    Sound = 366,
    SelectAudio = 368,
    Live = 369,
    Osd = 370,
    Arrange = 371,
    Save = 372,
    Load = 373,
    FirmwareUpgrade = 374,
    Mike = 376,
    Minimise = 377,
    Audio = 378,
};
} // namespace Control

// The texts that name a refused right under the rights box (15,0).
namespace RightText {
enum : int {
    RemoteSetup = 7300,
    SearchOrBackup = 7301,
    StopRecording = 7302,
    Restart = 7303,
    Ptz = 7304,
    FirmwareUpgrade = 7305,
    FolderSearched = 7306, // "%1": the firmware search's folder, under (11,1)
};
} // namespace RightText

} // namespace kalder
