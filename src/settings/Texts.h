#pragma once

#include "settings/Language.h"

#include <string_view>

namespace sorvanel {

/// A text that exists in German and in English; the place that shows it picks one.
struct TextPair
{
    std::string_view german;
    std::string_view english;

    std::string_view pick(Language language) const
    {
        return language == Language::German ? german : english;
    }
    /// The text in the current interface language.
    std::string_view pick() const { return pick(UiLanguage()); }
};

/// Every text of the program in one place. Pairs are chosen at the point of use with `pick()`;
/// the plain texts read the same in both languages. Texts with "%s" or "%lx" are formats, so
/// are those with "%1" (for `QString::arg`).
namespace Texts {

// Main window and folder chooser.
inline constexpr TextPair SelectFolder{"Ordner wählen", "Select Folder"};
inline constexpr TextPair SelectAll{"Alle auswählen", "Select All"};
inline constexpr TextPair Clean{"Säubern", "Clean"};
inline constexpr TextPair Exit{"Ende", "Exit"};
inline constexpr TextPair FilenameColumn{"Dateiname", "Filename"};
inline constexpr TextPair TitleColumn{"Titel", "Title"};
inline constexpr TextPair NoMidiFilesFound{
    "Keine Midi-Dateien in diesem Verzeichnis vorhanden!", "No midi files found in this folder!"};
inline constexpr TextPair Cancel{"Abbrechen", "Cancel"};
inline constexpr TextPair IncludeSubfolders{"Unterordner einbeziehen", "Include sub-folders"};
/// The help document the help button opens.
inline constexpr TextPair HelpDocument{"Sorvanel.htm", "Sorvanel_e.htm"};
/// A help document that is nowhere (%1: its name, %2: the folders, one a line) or that no
/// program opens (%2: its path).
inline constexpr TextPair DocumentNotFound{
    "Das Dokument \"%1\" wurde nicht gefunden.\n\nGesucht in:\n%2",
    "The document \"%1\" was not found.\n\nLooked for in:\n%2"};
inline constexpr TextPair DocumentNotOpened{
    "Das Dokument \"%1\" konnte nicht geöffnet werden: Es ist kein Programm eingerichtet, "
    "das es anzeigen kann.\n\n%2",
    "The document \"%1\" could not be opened: no program is set up to show it.\n\n%2"};
/// Names that assistive technology reads for controls without a caption of their own, and
/// the help button's tool tip (%1: its key).
inline constexpr TextPair FileListName{"Midi-Dateien", "Midi files"};
inline constexpr TextPair HelpButtonName{"Hilfe", "Help"};
inline constexpr TextPair HelpButtonToolTip{"Hilfe (%1)", "Help (%1)"};

// Log window.
inline constexpr TextPair NoMidiFileChanged{
    "<Keine Midifiles verändert>", "<no midi file changed>"};
/// The name assistive technology reads for the log's list.
inline constexpr TextPair LogListName{"Protokoll", "Log"};
inline constexpr TextPair CopyLog{"Kopieren", "Copy"};
inline constexpr TextPair SaveLogAs{"Speichern unter…", "Save As…"};
inline constexpr TextPair SaveLogCaption{"Protokoll speichern", "Save Log"};
inline constexpr TextPair TextFiles{"Textdateien (*.txt)", "Text files (*.txt)"};
/// Followed by the reason the system gave.
inline constexpr TextPair LogNotSaved{
    "Das Protokoll konnte nicht gespeichert werden:", "The log could not be saved:"};

// Long runs, the preview and restoring originals. Formats with "%zu" take the file's number
// and the number of files; the tool tip's "%s" takes the backup's name.
inline constexpr TextPair ProgressReading{"Lese %zu von %zu", "Reading %zu of %zu"};
inline constexpr TextPair ProgressCleaning{"Säubere %zu von %zu", "Cleaning %zu of %zu"};
inline constexpr TextPair ProgressPreviewing{"Vorschau %zu von %zu", "Previewing %zu of %zu"};
inline constexpr TextPair ProgressChecking{"Prüfe %zu von %zu", "Checking %zu of %zu"};
inline constexpr TextPair ProgressRestoring{
    "Stelle %zu von %zu wieder her", "Restoring %zu of %zu"};
inline constexpr TextPair Stopping{"Wird angehalten …", "Stopping …"};
inline constexpr TextPair PreviewCommand{"Vorschau…", "Preview…"};
inline constexpr TextPair RestoreOriginalsCommand{
    "Originale wiederherstellen", "Restore Originals"};
inline constexpr TextPair PreviewLogCaption{
    "Protokoll – Vorschau (nichts wurde geschrieben)", "Protokoll – Preview (nothing was written)"};
inline constexpr TextPair RestoredHeader{
    "Aus der Sicherung wiederhergestellt:", "Restored from backup:"};
inline constexpr TextPair NoOriginalRestored{
    "<Kein Original wiederhergestellt>", "<no original restored>"};
/// A file not restored because it was written after its backup was made (%s: its path).
inline constexpr TextPair ChangedAfterCleaning{
    "\"%s\" wurde nach dem Säubern verändert und nicht wiederhergestellt.",
    "\"%s\" was changed after it was cleaned and was not restored."};
inline constexpr TextPair BackupToolTip{
    "Sicherung des Originals vorhanden: %s", "Backup of the original: %s"};
/// The options window of a preview, and the first line of a preview's log when it is copied
/// or saved.
inline constexpr TextPair PreviewOptionsCaption{
    "Vorschau: Midifiles prüfen", "Preview: Check Midi Files"};
inline constexpr TextPair PreviewButton{"Vorschau", "Preview"};
inline constexpr TextPair PreviewLogNote{
    "Vorschau – nichts wurde geschrieben", "Preview – nothing was written"};
/// A saved log's heading and its totals line. %1 in the heading: the folder, the date and time,
/// the options as the lines below describe them (joined with "; ").
inline constexpr TextPair LogFolder{"Ordner: %1", "Folder: %1"};
inline constexpr TextPair LogDate{"Datum: %1", "Date: %1"};
inline constexpr TextPair LogOptions{"Optionen: %1", "Options: %1"};
inline constexpr TextPair SysExKept{"SysEx-Events behalten", "SysEx events kept"};
inline constexpr TextPair SysExDeleted{"alle SysEx-Events gelöscht", "all SysEx events deleted"};
/// %1: the manufacturer ids kept, in hex.
inline constexpr TextPair SysExDeletedExcept{"alle SysEx-Events gelöscht außer Hersteller-Id %1",
    "all SysEx events deleted except manufacturer id %1"};
inline constexpr TextPair ControllersKept{"Controller-Events behalten", "controller events kept"};
inline constexpr TextPair ControllersDeleted{
    "alle Controller-Events gelöscht", "all controller events deleted"};
/// %1: the controllers kept, in hex, and "Pitch Bend".
inline constexpr TextPair ControllersDeletedExcept{
    "alle Controller-Events gelöscht außer %1", "all controller events deleted except %1"};
/// %1: where ("Am Anfang", "Am Ende" or both).
inline constexpr TextPair ResetsInsertedAt{"Midi-Reset eingefügt: %1", "Midi reset inserted: %1"};
inline constexpr TextPair LogTotals{"Summe: Songs geändert %1, SysEx-Events entfernt %2, "
                                    "Controller-Events entfernt %3, Resets eingefügt %4",
    "Totals: songs changed %1, SysEx events removed %2, controller events removed %3, resets "
    "inserted %4"};
/// Asked before restoring originals (%1: how many songs have a backup).
inline constexpr TextPair RestoreQuestionOne{
    "1 Song erhält die Bytes seiner Sicherung zurück, die Sicherung wird dabei entfernt.\n\n"
    "Original wiederherstellen?",
    "1 song gets its backup's bytes back, and the backup is removed.\n\nRestore the original?"};
inline constexpr TextPair RestoreQuestionMany{
    "%1 Songs erhalten die Bytes ihrer Sicherungen zurück, die Sicherungen werden dabei "
    "entfernt.\n\nOriginale wiederherstellen?",
    "%1 songs get their backups' bytes back, and the backups are removed.\n\nRestore the "
    "originals?"};

/// Asked after a restore that passed over songs changed since their clean.
inline constexpr TextPair RestoreChangedQuestionOne{
    "1 Song wurde nach dem Säubern geändert und nicht wiederhergestellt.\n\nTrotzdem "
    "wiederherstellen? Sein jetziger Inhalt kommt in den Papierkorb.",
    "1 song was changed after it was cleaned and was not restored.\n\nRestore it anyway? What "
    "it holds now is moved to the trash."};
inline constexpr TextPair RestoreChangedQuestionMany{
    "%1 Songs wurden nach dem Säubern geändert und nicht wiederhergestellt.\n\nTrotzdem "
    "wiederherstellen? Ihr jetziger Inhalt kommt in den Papierkorb.",
    "%1 songs were changed after they were cleaned and were not restored.\n\nRestore them "
    "anyway? What they hold now is moved to the trash."};

// Clean options dialog.
inline constexpr TextPair CleanMidiFiles{"Midifiles säubern", "Clean Midi Files"};
inline constexpr TextPair DeleteAllSysExEvents{
    "Alle SysEx Events löschen", "delete all SysEx events"};
inline constexpr TextPair ExceptManufacturerId{"außer Hersteller-Id:", "except manufacturer id:"};
inline constexpr TextPair DeleteAllControllerEvents{
    "Alle Controller Events löschen", "delete all controller events"};
inline constexpr TextPair Except{"außer:", "except:"};
inline constexpr TextPair Standard{"Standard:", "standard:"};
inline constexpr TextPair UserDefined{"Definierbar:", "user defined:"};
inline constexpr TextPair InsertMidiReset{"Midi-Reset einfügen", "Insert Midi Reset:"};
inline constexpr TextPair BeginningOfFile{"Am Anfang", "Beginning of file"};
inline constexpr TextPair EndOfFile{"Am Ende", "End of file"};
/// The names of the hex and decimal entries (%1: the entry's number, from 1).
inline constexpr TextPair ManufacturerIdHexName{"Hersteller-ID %1, hex", "Manufacturer ID %1, hex"};
inline constexpr TextPair ManufacturerIdDecimalName{
    "Hersteller-ID %1, dezimal", "Manufacturer ID %1, decimal"};
inline constexpr TextPair ControllerHexName{
    "Definierbarer Controller %1, hex", "User-defined controller %1, hex"};
inline constexpr TextPair ControllerDecimalName{
    "Definierbarer Controller %1, dezimal", "User-defined controller %1, decimal"};
inline constexpr TextPair NothingSelectedToDelete{
    "Nichts ausgewählt zum Löschen!", "Nothing selected to delete!"};
inline constexpr TextPair InvalidHexValue{
    "Ungültige Hexzahl!\n\nBitte Wert zwischen 0 und FF eingeben.",
    "Invalid hex value!\n\nPlease enter value between 0 and FF."};
inline constexpr TextPair InvalidDecimalValue{
    "Ungültige Dezimalzahl!\n\nBitte Wert zwischen 0 und 255 eingeben.",
    "Invalid decimal value!\n\nPlease enter value between 0 and 255."};

// Folder chooser: the local file system's folders and their context menu.
inline constexpr TextPair HomeFolder{"Persönlicher Ordner", "Home"};
inline constexpr TextPair ComputerFolder{"Rechner", "Computer"};
inline constexpr TextPair FileSystemRoot{"Dateisystem", "File System"};
inline constexpr TextPair OpenInFileManager{"Im Dateimanager öffnen", "Open in File Manager"};
inline constexpr TextPair CopyPath{"Pfad kopieren", "Copy Path"};
/// The reasons shown below "InvokeCommand failed." when a folder cannot be opened.
inline constexpr TextPair NoFolderOpener{
    "Es ist kein Programm installiert, das Ordner öffnen kann.",
    "No program is installed that can open folders."};
inline constexpr TextPair FolderGone{
    "Der Ordner existiert nicht mehr.", "The folder no longer exists."};

// German only, shown in both languages.
inline constexpr std::string_view ErrorCaption = "Fehler";
/// Passed to the error box by callers that ran out of memory.
inline constexpr std::string_view NotEnoughFreeMemory = "Nicht genügend freier Speicher!";
/// Passed to the error box on any other unexpected failure.
inline constexpr std::string_view UnknownException = "Unbekannter Ausnahmefehler!";
/// Fall-backs when showing the error box itself fails (note the blank before "!").
inline constexpr std::string_view ErrorBoxOutOfMemory = "Nicht genügend freier Speicher !";
inline constexpr std::string_view ErrorBoxFailed = "Unbekannter Fehler aufgetreten !";
/// The manual button: shown (with this caption) only in German.
inline constexpr std::string_view ManualButton = "Anleitung";
inline constexpr std::string_view ManualDocument = "Anleitung Sorvanel.htm";

// English only, shown in both languages. The reader's messages are in song/Song.h
// (`invalidFileText`, `invalidTrackText`, `bufferTooSmallText`), below this library.
inline constexpr std::string_view NoTitleFound = "<no title found>";
inline constexpr std::string_view LogHeader = "File\tSysEx\tContr.\tReset";
inline constexpr std::string_view GetUIObjectOfFailed = "GetUIObjectOf failed! hr=%lx";
inline constexpr std::string_view InvokeCommandFailed = "InvokeCommand failed. hr=%lx";
inline constexpr std::string_view MainWindowTitle =
    "Sorvanel  -  Delete SysEx events from midi files";
/// Reports of an exception that escaped a window's handler; the one for exhausted memory is
/// `outOfMemoryText` in platform/Notifier.h.
inline constexpr std::string_view CommandFailed = "Command failed.";
inline constexpr std::string_view InternalApplicationError = "Internal application error.";

// The language chooser: the same in both languages.
inline constexpr std::string_view ChooseLanguage = "Choose Language";
inline constexpr std::string_view ChooseLanguagePrompt =
    "Please choose your favourite language:\nBitte wählen Sie die gewünschte Sprache:";
inline constexpr std::string_view ChooseLanguageGerman = "Deutsch (German)";
inline constexpr std::string_view ChooseLanguageEnglish = "English";
inline constexpr std::string_view ChooseLanguageNote =
    "This dialog will not be displayed again.\nDieser Dialog wird nicht mehr angezeigt.";

} // namespace Texts

} // namespace sorvanel
