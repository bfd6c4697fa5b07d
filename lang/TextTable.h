// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The texts of one interface language. Every text is UTF-8; "&" marks an access key.
// TextTable.cpp gives each member's Hungarian and English words side by side.
// The slot placeholder belongs to the replacement run's texts, which skip it.
struct TextTable
{
    bool hungarianOptionSelected;
    const char *browse;
    const char *firstPage;
    const char *secondPage;
    const char *change;
    const char *restoreDefault;
    const char *about;
    const char *options;
    const char *exit;
    const char *ok;
    const char *cancel;
    const char *pathPrompt;
    const char *languageLabel;
    const char *versionPrefix;
    const char *description;
    const char *disclaimer;
    const char *credits;

    // What a screen reader calls the settings window's folder box and lists.
    const char *folderBoxName;
    const char *folderListName;
    const char *driveListName;

    // Our own texts, beyond the windows' captions.
    const char *cannotWriteSettings; // %1 the file, %2 the reason
    const char *folderNotInCodePage;
    const char *folderNotStorable;
    const char *settingsNotReadBack;
    const char *restoreQuestion;     // %1 the number of restorable slots, more than one
    const char *restoreQuestionOne;  // the same for one
    const char *filesRestored;       // %1 the number of files put back, more than one
    const char *fileRestored;        // the same for one
    const char *emptyFolderQuestion; // %1 the game music folder
    // The buttons of the program's message boxes.
    const char *okButton;
    const char *yesButton;
    const char *noButton;
    // The file chooser's second entry, before its patterns.
    const char *musicFilterName;
    // What a pick holds, in its text box's tooltip: %1 the format, %2 the sample rate in kHz,
    // %3 the channels, %4 the length.
    const char *pickConverted;
    const char *pickCopied;
    const char *pickFigures;    // the same figures alone, where the loudness line says the rest
    const char *pickOtherRate;  // %1 format, %2 its kHz, %3 the game file's kHz
    const char *pickUnreadable; // %1 the reason
    const char *notAFile; // the reason for a pick or set file that is a folder, a device or a pipe
    // Where the audio part is missing: %1 where it was looked for.
    const char *pickAudioMissing;
    const char *pickCopiedAudioMissing; // an MP3 by its first bytes, copied as it is
    const char *mono;
    const char *stereo;
    // The progress window of a run that converts: %1 the slot's label.
    const char *converting;
    const char *cancelButton;
    // Change cancelled: %1 the picks put in, %2 all picks, %3 those not put in, %4 the
    // caption of the button that puts the game's music back; and where none went in.
    const char *changeCancelled;
    const char *changeCancelledBeforeAny;
    // Windows: the second paragraph of a run's failure in a protected folder.
    const char *elevateQuestion;
    // Windows: what the copy started as administrator asks first; %1 the game music folder.
    const char *handOverQuestion;
    // Windows: %1 the number of copies, %2 the VirtualStore folder holding them.
    const char *virtualStoreQuestion;
    // A slot's context menu; no access key of the text box's own editing entries.
    const char *restoreSlot;
    const char *clearSlot;
    const char *showInFolder;
    // Listening, in the same menu: what plays, and why nothing can.
    const char *playPick;
    const char *playGameMusic;
    const char *playOriginal;
    const char *stopPlaying;
    const char *noSoundOutput;
    const char *cannotPlay; // %1 the reason, in the slot's tooltip
    // Music sets: the main window's context menu, the chooser and the messages.
    const char *saveSet;
    const char *saveSetWithMusic;
    const char *openSet;
    const char *clearAllPicks;
    const char *setFilterName;
    const char *replacePicksQuestion;
    const char *setProblems;  // %1 the lines passed over, one a line
    const char *copyingMusic; // %1 the file being copied
    // The set menu's two loudness entries.
    const char *matchLoudness;
    const char *matchMp3Loudness;
    // A pick's loudness and what Change does to it, in its tooltip. %1 the pick's figure,
    // %2 the game music's, in LUFS.
    const char *loudnessMeasuring;
    const char *loudnessOfSlot;
    const char *loudnessOfOtherSlots; // the median of the slots that have game music
    // %1 one of the two above, %2 the gain in dB.
    const char *gainQuieter;
    const char *gainLouder;
    const char *gainNone; // %1 only
    // %1 one of the three above, %2 the dB the true-peak limit holds back.
    const char *gainHeldBack;
    // Matching off: %1 the figures, %2 one of the three comparisons after them.
    const char *copiedAsItIs;
    const char *convertedAsItIs;
    const char *louderThanGame; // %1 dB
    const char *quieterThanGame;
    const char *asLoudAsGame;
    // Nothing to match to, or nothing to match: %1 the pick's figure where there is one.
    const char *loudnessNoReference; // the slot's game file is this program's own
    const char *loudnessNoGameFile;  // the game folder holds no file of the slot
    const char *loudnessSilentReference;
    const char *loudnessSilentPick;
    const char *loudnessNotMeasured;
    const char *loudnessFreeFormat; // %1 the figures
    const char *loudnessOtherLayer;
    // Why a file could not be written, for the failures players meet.
    const char *reasonAccessDenied;
    const char *reasonReadOnly;
    const char *reasonDiskFull;
    const char *reasonNotFound;
    const char *reasonInUse;
    // What a screen reader and a tooltip call the mark of the slot that plays.
    const char *playingMark;
    const char *cannotPlayFile;   // %1 the file, %2 the reason
    const char *folderNotShown;   // the folder follows on a line of its own
    const char *clearAllQuestion; // %1 the number of picks, more than one
    // Music sets: %1 the file, %2 the reason.
    const char *cannotCopySetMusic;
    const char *cannotOpenSet;
    const char *cannotSaveSet;
    // The folder a set's music is copied into: %1 the set's name.
    const char *setMusicFolder;
    // A set file longer than any set.
    const char *reasonSetTooLarge;
    // Why music could not be read, converted, measured or played: the words of each code of
    // core::Reason (its NotAFile says notAFile). A library's own words may follow in brackets.
    const char *reasonCannotOpen;
    const char *reasonEmptyFile;
    const char *reasonNotMusic;
    const char *reasonNoSound;
    const char *reasonUnknownSound;
    const char *reasonOutOfMemory;
    const char *reasonReadFailed;
    const char *reasonDecodeFailed;
    const char *reasonWriteFailed;
    const char *reasonSystemFault;
    const char *reasonEncoderFailed;
    const char *reasonMeterFailed;
    const char *reasonNoLoudnessMeter;
    const char *reasonCancelled;
    const char *reasonNoAudioPart;
    const char *reasonMp3Only;
    const char *reasonNoPlayback;
    const char *reasonNoOutputDevice;
    const char *reasonOutputNotOpened;
    const char *reasonOutputFailed;
    // A music set's line passed over: %1 its number, %2 why; the name for an unknown slot.
    const char *setLine;
    const char *setUnknownSlot;
    const char *setNotALanguage;
    const char *setNotALoudnessChoice;
    const char *setFileWithoutSlot;
    const char *setNotAPlaylist; // the whole file
    // A run, a restore or a move of copies that stopped before writing anything: %1 the lock
    // file, %2 why it cannot be taken; or %1 the originals folder that is no folder of ours.
    const char *lockNotTaken;
    const char *reasonFolderInPlace;
    const char *reasonLinkInPlace;
    const char *originalsFolderIsLink;
    const char *originalsFolderIsGameFolder;
    // %1 the record of the kept originals, %2 why it cannot be read.
    const char *originalsRecordUnreadable;
    // A pick's loudness in its tooltip, more: %1 what Change does, %2 the dB short of a match.
    const char *gainHeldBackByMp3Range;
    // %1 what Change does, %2 the kHz above which the slot's format keeps nothing.
    const char *loudnessAboveLowpass;
    // Why a fit cannot be written: words of core::Reason's fit codes.
    const char *reasonFitNegative;
    const char *reasonFitEndBeforeStart;
    const char *reasonFitPastEnd;
    const char *reasonFitFadesTooLong;
    const char *reasonFitCrossfadeTooLong;
    // A set's fit line passed over; %1 why the fit cannot be used.
    const char *setImpossibleFit;
    const char *setFitWithoutSlot;
    const char *setNotAFit;
    // A converted pick's tooltip: %1 and %2 seconds left out at the start and at the end.
    const char *silenceLeftOutBoth;
    const char *silenceLeftOutStart; // %1 only
    const char *silenceLeftOutEnd;   // %1 only
    // A fitted MP3 pick's tooltip: it is converted, not copied.
    const char *fittedMp3Converted;
    // The slot's role from the length of the game's own music: %1 its length in seconds.
    const char *slotRoleJingle;
    const char *slotRoleLoop;
    // The slot menu's entry that opens the Fit window.
    const char *fitMenuEntry;
    // Why the entry is disabled.
    const char *fitNeedsAudio;
    const char *fitPickUnreadable;
    // The pick's fit in its tooltip: %1 start, %2 end, %3 and %4 the fades in seconds.
    const char *fitToolTip;
    // The Fit window: %1 the slot's name.
    const char *fitWindowTitle;
    // The waveform's name for a screen reader, and its value: %1 and %2 the markers' times.
    const char *fitWaveform;
    const char *fitWaveformValue;
    // While the pick is decoded; also why the menu entry waits.
    const char *fitReading;
    // The mark of the game's own length, and for a screen reader what it marks: %1 that
    // length, %2 where it ends.
    const char *fitGameLength;
    const char *fitGameLengthDescription;
    // The boxes' labels, then their names for a screen reader.
    const char *fitStartLabel;
    const char *fitEndLabel;
    const char *fitFadeInLabel;
    const char *fitFadeOutLabel;
    const char *fitStartName;
    const char *fitEndName;
    const char *fitFadeInName;
    const char *fitFadeOutName;
    // The window's buttons.
    const char *fitPlay;
    const char *fitPlaySeam;
    const char *fitStop;
    const char *fitFindLoop;
    const char *fitToGameLength;
    const char *fitReset;
    // Find a loop's tooltip where the slot's music is a jingle.
    const char *fitLoopJingle;
    // The line under the waveform: a search under way, a loop found (%1 and %2 its times, %3
    // which of %4) or none.
    const char *fitLoopSearching;
    const char *fitLoopFound;
    const char *fitLoopNone;
    // A written pick's loudness in its tooltip: %1 what Change did, %2 the dB it is short.
    const char *gainShortOfFormat;
    // A whole pick longer than its slot's jingle: %1 the seconds the game plays, %2 the slot
    // menu's entry and %3 the Fit window's button, as they read.
    const char *jinglePlaysOnlyPart;
    // The set menu's entry that brings back the picks an emptying took, and the line every
    // empty slot's tooltip holds until then: %1 the entry's name without its access key.
    const char *reopenLastPicks;
    const char *lastPicksNote;
    // A Change stopped at a failed copy, in its box's informative text and the slots'
    // tooltips: why the pick (%1 its file name) or the game's file (%1) failed, %2 the reason.
    const char *changeStoppedAtPick;
    const char *changeStoppedAtGameFile;
    const char *pickNoLongerThere;
    const char *pickNotThere;
    // How many picks went in before it stopped (%1).
    const char *changePicksInNone;
    const char *changePicksInOne;
    const char *changePicksInMany;
    // The later slots holding a pick that were not tried; %1 their captions.
    const char *changeNotTriedOne;
    const char *changeNotTriedMany;
    const char *slotNotTried;
    // The slots whose unusable picks the player chose to leave; %1 their captions.
    const char *changeLeftOne;
    const char *changeLeftMany;
    // Before a run that would refuse unusable picks: change the others?
    const char *changeOthersOne;
    const char *changeOthersMany;
    // At a start: the game files a killed write left cut short that could not be made whole,
    // named one a line after it.
    const char *cutShortLeft;
    // The waveform's keys for a screen reader: %1 and %2 the keys choosing the start and end.
    const char *fitWaveformKeys;
    // For a loop slot, at the end marker: %1 the loop's length; and as a screen reader hears it.
    const char *fitLoopTurn;
    const char *fitLoopDescription;
    // The line under the waveform: a loop found and moved off its ends, or one kept (%3 ms).
    const char *fitLoopHandSet;
    const char *fitLoopKept;
    // A loop found, in the slot's tooltip: %1 start, %2 end, %3 the crossfade in ms.
    const char *fitToolTipLoop;
    // Why "Fit to the game's length" is disabled: a loop slot, or the slot's music unknown.
    const char *fitGameLengthLoopSlot;
    const char *fitGameLengthUnknown;
    const char *fitZoomIn;
    const char *fitZoomOut;
    const char *fitSeamView;
    // A pick held back by the true-peak limit, %1 what Change does and %2 dB: that much more
    // quiet than a match; or, where a match would make it louder (%2 dB) and Change leaves it as
    // it is or quieter, why not.
    const char *gainHeldBackQuieter;
    const char *gainHeldBackPastLimit;
    // %1 the figures: Change leaves its loudness as it is (short of a match).
    const char *gainKept;
    // The progress window while another copy of the program holds the game folder.
    const char *waitingForOtherCopy;
    // Saving a set with its music while picks are gone: %1 the file, or the files (plural).
    const char *setMusicMissingOne;
    const char *setMusicMissingMany;
    // A pick whose music ends before its stated length: %1 where it ends, %2 that length.
    const char *pickCutShort;
    // %1 what Change does; %2 the LUFS its written result measures, louder than promised.
    const char *gainWrittenLouder;

    // The table of a stored language code (see languageFromCode).
    static const TextTable &forLanguage(std::uint8_t code);
};

// Texts that are the same in both languages.
namespace fixedtext {
inline constexpr char applicationTitle[] = "Valdrune 3 Music Changer";
inline constexpr char deviceUnavailable[] =
    "Az eszközről nem lehet beolvasni. Nézd meg bent van-e a lemez vagy a CD.";
inline constexpr char email[] = "e-mail: hangmester@example.org";
} // namespace fixedtext
