// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "res/strings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

struct SStringEntry {
    unsigned nId;
    const char* pszEnglish;
    const char* pszFrench;
};

// Sorted by id: the lookup is a binary search.
constexpr SStringEntry s_aStrings[] = {
    {IDS_PROPERTIES, "Properties", "Propriétés"},
    {IDS_COL_FILE, "File", "Fichier"},
    {IDS_COL_LOCATION, "Location", "Emplacement"},
    {IDS_COL_TITLE, "Title", "Titre"},
    {IDS_COL_ARTIST, "Artist", "Artiste"},
    {IDS_COL_ALBUM, "Album", "Album"},
    {IDS_COL_DATE, "Date", "Date"},
    {IDS_COL_GENRE, "Genre", "Genre"},
    {IDS_COL_COMMENT, "Comment", "Commentaire"},
    {IDS_UNDEFINED, "<Undefined>", "<Non défini>"},
    {IDS_ADDRESS, "Address", "Adresse"},
    {IDS_BTN_PLAY, "Play", "Jouer"},
    {IDS_BTN_ENQUEUE, "Enqueue", "Ajouter"},
    {IDS_BTN_PROPERTIES, "Prop.", "Prop."},
    {IDS_BTN_LARGE, "Large", "Grand"},
    {IDS_BTN_SMALL, "Small", "Petit"},
    {IDS_BTN_LIST, "List", "Liste"},
    {IDS_BTN_DETAIL, "Detail", "Détail"},
    {IDS_COL_SIZE, "Size", "Taille"},
    {IDS_CLIPBOARD_FAILED, "Failed to open Clipboard!", "Erreur d'ouverture du presse-papier !"},
    {IDS_BTN_COPY, "Copy", "Copier"},
    {IDS_TAG_WRITE_FAILED, "Failed to create or modify ID3 tag !",
     "Impossible de créer ou modifier l'étiquette ID3 !"},
    {IDS_APP_TITLE, "Tunebrowse", "Tunebrowse"},
    {IDS_NODE_FILES, "%1 file(s)", "%1 morceau(x)"},
    {IDS_FILES_SELECTED, "%1 files selected", "%1 morceaux sélectionnés"},
    {IDS_SIZE_FORMAT, "%5.1f MB", "%5.1f Mo"},
    {IDS_ONE_FILE_SELECTED, "1 file selected", "1 morceau sélectionné"},
    {IDS_NO_ENQUEUE, "Your player doesn't support the Enqueue command.",
     "Le player que vous utilisez ne supporte pas la commande Enqueue."},
    {IDS_NO_M3U, "For multiple selections, your player should accept 'M3U' file type. ",
     "Pour les sélections multiples, votre player doit être\nparamétré pour accepter les fichiers "
     "de type 'M3U'. "},
    {IDS_NO_ASSOCIATION, "No association found between 'MP3' files and a player.",
     "Aucune association n'a été trouvée entre les \nfichiers 'MP3' et un player."},
    {IDS_OPTIONS, "Options", "Options"},
    {IDS_PLAYLIST_FAILED, "The playlist could not be written:\n%1",
     "Impossible d'écrire la liste de lecture :\n%1"},
    {IDS_FILE_ERROR, "An error occurred while writing %1:\n%2",
     "Une erreur s'est produite lors de l'écriture de %1 :\n%2"},
    {IDS_SCAN_STOPPED, "Scan stopped: %1 file(s)", "Analyse interrompue : %1 morceau(x)"},
    {IDS_SCANNING, "Reading: %1 file(s)", "Lecture : %1 morceau(x)"},
    {IDS_ABOUT_INFO, "A fast browser and ID3v1 tag editor for MP3 files.",
     "Un explorateur rapide et un éditeur d'étiquettes ID3v1 pour fichiers MP3."},
    {IDS_OPEN_FOLDER_TITLE, "Open a Folder", "Ouvrir un dossier"},
    // The names a screen reader gives the two panes.
    {IDS_TREE_PANE, "Folder tree", "Arborescence du dossier"},
    {IDS_LIST_PANE, "Track list", "Liste des morceaux"},
    {ID_FILE_OPEN_FOLDER, "Choose a folder and read its files\nOpen Folder",
     "Choisit un dossier et lit ses morceaux\nOuvrir un dossier"},
    {ID_VIEW_REFRESH, "Read the folder shown again\nRefresh",
     "Relit le dossier affiché\nActualiser"},
    {ID_FOCUS_ADDRESS, "Type a folder into the address box\nAddress",
     "Tape un dossier dans la barre d'adresse\nAdresse"},
    {IDS_CHANGED_SINCE_LISTED,
     "%1 has changed since the folder was read, so it was left as it is. Read the folder again "
     "(F5) before editing this file.",
     "%1 a changé depuis la lecture du dossier : il n'a pas été modifié. Relisez le dossier (F5) "
     "avant de modifier ce morceau."},
    {IDS_UNDO, "&Undo", "&Annuler"},
    {IDS_UNDO_ONE_FILE, "&Undo tag edit of 1 file",
     "&Annuler la modification d'étiquette de 1 "
     "morceau"},
    {IDS_UNDO_FILES, "&Undo tag edit of %1 files",
     "&Annuler la modification d'étiquette de %1 morceaux"},
    {IDS_UNDO_SKIPPED, "These files have changed since the edit and were left as they are:\n%1",
     "Ces morceaux ont changé depuis la modification et n'ont pas été touchés :\n%1"},
    {IDS_OPT_KEEP_TIMES, "&Keep the files' modification times",
     "&Conserver la date de modification des fichiers"},
    {IDS_OPT_ENCODING, "Tag text &encoding:", "&Codage du texte des étiquettes :"},
    {IDS_ENCODING_AUTOMATIC, "Automatic", "Automatique"},
    {IDS_FIELD_NOT_ENCODABLE, "The %1 field holds characters that %2 cannot store.",
     "Le champ %1 contient des caractères que le codage %2 ne peut pas enregistrer."},
    {IDS_TRACK_INVALID, "The track number must be a number from 1 to 255, or empty.",
     "Le numéro de piste doit être un nombre de 1 à 255, ou rester vide."},
    {IDS_COL_TRACK, "Track", "Piste"},
    {IDS_TIMES_NOT_KEPT,
     "The modification time of %1 could not be kept: only the file's owner may set it.",
     "La date de modification de %1 n'a pas pu être conservée : seul le propriétaire du fichier "
     "peut la fixer."},
    {IDS_COL_YEAR, "Year", "Année"},
    {IDS_HANDING_OVER, "Handing the tracks to the player...",
     "Transmission des morceaux au player..."},
    {IDS_HANDOFF_FAILED, "The player did not take the tracks (its command ended with status %1).",
     "Le player n'a pas pris les morceaux (sa commande s'est terminée avec le code %1)."},
    {IDS_PLAYS_ONE_ONLY,
     "Your player plays only one of several tracks handed to it: select a single track to play "
     "it.",
     "Votre player ne joue qu'un seul des morceaux qu'on lui transmet : sélectionnez un seul "
     "morceau pour le jouer."},
    {IDS_GENRE_UNCHANGED, "(unchanged)", "(inchangé)"},
    {IDS_BY_ARTIST, "Organised by artist", "Classé par artiste"},
    {IDS_BY_GENRE, "Organised by genre and artist", "Classé par genre et artiste"},
    {IDS_ADDRESS_TIP, "Folder to show (Ctrl+L or Alt+D)", "Dossier à afficher (Ctrl+L ou Alt+D)"},
    {IDS_FOLDER_MISSING, "The folder \"%1\" does not exist.", "Le dossier « %1 » n'existe pas."},
    {IDS_NOT_A_FOLDER, "\"%1\" is not a folder.", "« %1 » n'est pas un dossier."},
    {IDS_FOLDER_UNREADABLE, "The folder \"%1\" cannot be read.",
     "Le dossier « %1 » ne peut pas être lu."},
    {IDS_SETTINGS_UNUSABLE,
     "The settings file %1 is not a readable regular file: the default settings are used and the "
     "file is left as it is.",
     "Le fichier de réglages %1 n'est pas un fichier ordinaire lisible : les réglages par défaut "
     "sont utilisés et le fichier reste tel quel."},
    {IDS_OPT_PATTERN, "File &pattern:", "&Modèle des fichiers :"},
    {IDS_PATTERN_EMPTY, "The file pattern cannot be empty.",
     "Le modèle des fichiers ne peut pas être vide."},
    {IDS_FILTER_COUNT, "%1 of %2 file(s)", "%1 sur %2 morceau(x)"},
    {ID_FOCUS_FILTER, "Show only the tracks whose columns contain the typed words\nFilter",
     "N'affiche que les morceaux dont les colonnes contiennent les mots tapés\nFiltrer"},
    {IDS_NO_ARTIST, "(no artist)", "(sans artiste)"},
    {IDS_NOT_FILES, "Not handed to the player, as no file: %1",
     "Non transmis au lecteur, faute d'être un fichier : %1"},
    {IDS_NOT_OPENED, "%1 file(s) or folder(s) could not be opened",
     "%1 fichier(s) ou dossier(s) n'ont pas pu être ouverts"},
    {IDS_EMPTY_LIST_HINT, "Type a folder in the address box or press Ctrl+O",
     "Tapez un dossier dans la barre d'adresse ou appuyez sur Ctrl+O"},
    {IDS_SETTINGS_NOT_WRITTEN,
     "The settings could not be written to %1: the folder shown, the history and the window's "
     "layout will not be remembered.",
     "Les réglages n'ont pas pu être enregistrés dans %1 : le dossier affiché, l'historique et la "
     "disposition de la fenêtre ne seront pas conservés."},
    {IDS_SETTINGS_NO_HOME,
     "Neither HOME nor XDG_CONFIG_HOME is set: the settings will not be remembered.",
     "Ni HOME ni XDG_CONFIG_HOME n'est défini : les réglages ne seront pas conservés."},
    {ID_RENAME_FROM_TAGS, "Rename the selected files after their tags\nRename from tags",
     "Renomme les fichiers sélectionnés d'après leurs étiquettes\nRenommer d'après les "
     "étiquettes"},
    {ID_TAGS_FROM_NAMES, "Fill the tags of the selected files from their names\nTags from names",
     "Remplit les étiquettes des fichiers sélectionnés d'après leurs noms\nÉtiquettes d'après "
     "les noms"},
    {IDS_UNDO_RENAME_ONE_FILE, "&Undo rename of 1 file", "&Annuler le renommage d'1 fichier"},
    {IDS_UNDO_RENAME_FILES, "&Undo rename of %1 files", "&Annuler le renommage de %1 fichiers"},
    {ID_PLAY, "Play the selected file\nPlay", "Joue le morceau\nJouer"},
    {ID_ENQUEUE, "Enqueue selected file(s) into the playlist\nEnqueue",
     "Ajoute le morceau sélectionné à la Play List.\nAjouter"},
    {ID_PROPERTIES, "Display file's properties (ID3 tag)\nProperties",
     "Affiche les informations du fichier\nPropriétés"},
    {ID_VIEW_ARTIST, "Organize files by Artist\nArtist",
     "Organise la vue des fichiers MP3 par artiste \nArtiste"},
    {ID_VIEW_GENRE, "Organize files by Genre then Artist\nGenre",
     "Organise la vue des fichiers MP3 par genre et par artiste\nGenre/Artiste"},
    {ID_VIEW_ADDRESSBAR, "Show or hide adress bar", "Affiche ou masque la barre des adresses."},
    {ID_VIEW_LABELS, "Show a text label on each toolbar button.",
     "Ajoute une étiquette de texte sous chaque bouton de la barre d'outils."},
    {ID_VIEW_OPTIONS, "Options", "Options"},
    {IDS_IDLE_MESSAGE, " ", " "},
    {ID_EDIT_COPY, "Copy the selection and put it on the Clipboard\nCopy",
     "Copie la sélection et la place dans le Presse-papiers\nCopier"},
    {ID_EDIT_UNDO, "Take back the last tag edit\nUndo",
     "Annule la dernière modification d'étiquettes\nAnnuler"},
    {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout",
     "Affiche des informations sur le programme, le numéro de version et le copyright\nÀ propos "
     "de"},
    {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit",
     "Ferme l'application ; propose d'enregistrer les documents\nQuitter"},
    {ID_NEXT_PANE, "Switch to the next window pane\nNext Pane",
     "Passe au volet de fenêtre suivant\nVolet suivant"},
    {ID_PREV_PANE, "Switch back to the previous window pane\nPrevious Pane",
     "Revient au volet de fenêtre précédent\nVolet précédent"},
    {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar",
     "Affiche ou masque la barre d'outils\nBarre d'outils"},
    {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar",
     "Affiche ou masque la barre d'état\nBarre d'état"},
    {ID_VIEW_SMALLICON, "Display items by using small icons.\nSmall Icons",
     "Affiche les éléments utilisant les petites icônes.\nPetites icônes"},
    {ID_VIEW_LARGEICON, "Display items by using large icons.\nLarge Icons",
     "Affiche les éléments utilisant les grandes icônes.\nGrandes icônes"},
    {ID_VIEW_LIST, "Displays items in a list.\nList",
     "Affiche les éléments dans une liste.\nListe"},
    {ID_VIEW_DETAILS, "Displays detailed information about each item in the window.\nDetails",
     "Affiche les informations de chaque élément dans la fenêtre.\nDétails"},
    {IDS_FIELD_TOO_LONG, "Enter no more than %1 characters.", "Tapez %1 caractères au maximum."},
};

constexpr bool IsSortedById() {
    for (std::size_t i = 1; i < std::size(s_aStrings); ++i) {
        if (s_aStrings[i - 1].nId >= s_aStrings[i].nId) {
            return false;
        }
    }
    return true;
}

bool IsSet(const char* psz) {
    return psz != nullptr && *psz != '\0';
}

} // namespace

ELanguage LanguageFromLocale(const char* pszLcAll, const char* pszLcMessages, const char* pszLang) {
    const char* pszLocale = IsSet(pszLcAll)        ? pszLcAll
                            : IsSet(pszLcMessages) ? pszLcMessages
                                                   : pszLang;
    if (IsSet(pszLocale) && std::strncmp(pszLocale, "fr", 2) == 0) {
        return ELanguage::French;
    }
    return ELanguage::English;
}

ELanguage UserLanguage() {
    static const ELanguage s_eLanguage =
        LanguageFromLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    return s_eLanguage;
}

const char* LoadString(unsigned nId, ELanguage eLanguage) {
    static_assert(IsSortedById(), "the string table must stay sorted by id");
    const auto* pEnd = std::end(s_aStrings);
    const auto* pEntry =
        std::lower_bound(std::begin(s_aStrings), pEnd, nId,
                         [](const SStringEntry& entry, unsigned nKey) { return entry.nId < nKey; });
    if (pEntry == pEnd || pEntry->nId != nId) {
        return "";
    }
    return eLanguage == ELanguage::French ? pEntry->pszFrench : pEntry->pszEnglish;
}

const char* LoadString(unsigned nId) {
    return LoadString(nId, UserLanguage());
}

std::string FormatString(unsigned nId, const std::string& strArg) {
    std::string strText = LoadString(nId);
    for (std::size_t nAt = strText.find("%1"); nAt != std::string::npos;
         nAt = strText.find("%1", nAt + strArg.size())) {
        strText.replace(nAt, 2, strArg);
    }
    return strText;
}

std::string FormatString(unsigned nId, const std::string& strArg1, const std::string& strArg2) {
    // Both at once: an argument holding "%2" stays as it is.
    const std::string strText = LoadString(nId);
    std::string strOut;
    for (std::size_t i = 0; i < strText.size(); ++i) {
        if (strText[i] == '%' && i + 1 < strText.size() &&
            (strText[i + 1] == '1' || strText[i + 1] == '2')) {
            strOut += strText[i + 1] == '1' ? strArg1 : strArg2;
            ++i;
        } else {
            strOut += strText[i];
        }
    }
    return strOut;
}

std::string FormatCount(unsigned long long nCount, ELanguage eLanguage) {
    const std::string strDigits = std::to_string(nCount);
    const char* pszSeparator = eLanguage == ELanguage::French ? "\u202F" : ",";
    std::string strText;
    for (std::size_t i = 0; i < strDigits.size(); ++i) {
        if (i > 0 && (strDigits.size() - i) % 3 == 0) {
            strText += pszSeparator;
        }
        strText += strDigits[i];
    }
    return strText;
}

std::string FormatCount(unsigned long long nCount) {
    return FormatCount(nCount, UserLanguage());
}

std::vector<unsigned> StringIds() {
    std::vector<unsigned> arrIds;
    arrIds.reserve(std::size(s_aStrings));
    for (const SStringEntry& entry : s_aStrings) {
        arrIds.push_back(entry.nId);
    }
    return arrIds;
}
