<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>CAboutDlg</name>
    <message>
        <source>About Tunebrowse</source>
        <translation>À propos de Tunebrowse</translation>
    </message>
    <message>
        <source>Tunebrowse - version %1</source>
        <translation>Tunebrowse - version %1</translation>
    </message>
    <message>
        <source>Updates, support and informations :</source>
        <translation>Mises à jour, assistance et informations :</translation>
    </message>
</context>
<context>
    <name>CFilterBox</name>
    <message>
        <source>Clear the filter</source>
        <translation>Effacer le filtre</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filtrer</translation>
    </message>
    <message>
        <source>Show only the tracks whose columns contain every typed word (Ctrl+F)</source>
        <translation>N&apos;afficher que les morceaux dont les colonnes contiennent chaque mot tapé (Ctrl+F)</translation>
    </message>
</context>
<context>
    <name>CListViewEx</name>
    <message>
        <source>Select all rows</source>
        <translation>Sélectionner toutes les lignes</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>Checking…</source>
        <translation>Vérification…</translation>
    </message>
    <message>
        <source>&amp;Play</source>
        <translation>&amp;Jouer</translation>
    </message>
    <message>
        <source>&amp;Enqueue</source>
        <translation>&amp;Ajouter à la file</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Copier</translation>
    </message>
    <message>
        <source>&amp;Properties</source>
        <translation>&amp;Propriétés</translation>
    </message>
    <message>
        <source>&amp;Artist</source>
        <translation>A&amp;rtiste</translation>
    </message>
    <message>
        <source>Gen&amp;re / Artist</source>
        <translation>&amp;Genre / Artiste</translation>
    </message>
    <message>
        <source>Lar&amp;ge Icons</source>
        <translation>Grandes &amp;icônes</translation>
    </message>
    <message>
        <source>S&amp;mall Icons</source>
        <translation>&amp;Petites icônes</translation>
    </message>
    <message>
        <source>&amp;List</source>
        <translation>&amp;Liste</translation>
    </message>
    <message>
        <source>&amp;Details</source>
        <translation>&amp;Détails</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <source>&amp;Open Folder...</source>
        <translation>&amp;Ouvrir un dossier...</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>Actuali&amp;ser</translation>
    </message>
    <message>
        <source>S&amp;top Scan</source>
        <translation>A&amp;rrêter l&apos;analyse</translation>
    </message>
    <message>
        <source>S&amp;top Writing Tags</source>
        <translation>A&amp;rrêter l&apos;écriture des tags</translation>
    </message>
    <message>
        <source>S&amp;top Reading Tags</source>
        <translation>A&amp;rrêter la lecture des tags</translation>
    </message>
    <message>
        <source>&amp;Go to Address</source>
        <translation>Aller à l&apos;&amp;adresse</translation>
    </message>
    <message>
        <source>Next Pane</source>
        <translation>Volet suivant</translation>
    </message>
    <message>
        <source>Previous Pane</source>
        <translation>Volet précédent</translation>
    </message>
    <message>
        <source>Standard buttons</source>
        <translation>Boutons standard</translation>
    </message>
    <message>
        <source>Address bar</source>
        <translation>Barre d&apos;adresse</translation>
    </message>
    <message>
        <source>Show text labels</source>
        <translation>Afficher les libellés</translation>
    </message>
    <message>
        <source>&amp;Status bar</source>
        <translation>Barre d&apos;é&amp;tat</translation>
    </message>
    <message>
        <source>&amp;Options...</source>
        <translation>Optio&amp;ns...</translation>
    </message>
    <message>
        <source>&amp;About Tunebrowse ...</source>
        <translation>À &amp;propos de Tunebrowse...</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Fichier</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>Édit&amp;ion</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Affichage</translation>
    </message>
    <message>
        <source>&amp;Tool bar</source>
        <translation>Barre d&apos;&amp;outils</translation>
    </message>
    <message>
        <source>&amp;?</source>
        <translation>&amp;?</translation>
    </message>
    <message>
        <source>&amp;Filter</source>
        <translation>&amp;Filtrer</translation>
    </message>
    <message>
        <source>&amp;Rename Files from Tags...</source>
        <translation>&amp;Renommer d&apos;après les étiquettes...</translation>
    </message>
    <message>
        <source>&amp;Tags from File Names...</source>
        <translation>É&amp;tiquettes d&apos;après les noms...</translation>
    </message>
</context>
<context>
    <name>CMp3PropertyPage1</name>
    <message>
        <source>Title</source>
        <translation>Titre</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Artiste</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>Année</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>Piste</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>Genre</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>Commentaire</translation>
    </message>
    <message>
        <source>&amp;Title :</source>
        <translation>&amp;Titre :</translation>
    </message>
    <message>
        <source>&amp;Artist :</source>
        <translation>&amp;Artiste :</translation>
    </message>
    <message>
        <source>A&amp;lbum :</source>
        <translation>A&amp;lbum :</translation>
    </message>
    <message>
        <source>&amp;Year :</source>
        <translation>A&amp;nnée :</translation>
    </message>
    <message>
        <source>T&amp;rack :</source>
        <translation>&amp;Piste :</translation>
    </message>
    <message>
        <source>&amp;Genre :</source>
        <translation>&amp;Genre :</translation>
    </message>
    <message>
        <source>Co&amp;mment :</source>
        <translation>Co&amp;mmentaire :</translation>
    </message>
    <message>
        <source>Co&amp;py from ID3v2</source>
        <translation>Cop&amp;ier depuis l&apos;ID3v2</translation>
    </message>
    <message>
        <source>Also &amp;write to the ID3v2 tag</source>
        <translation>Écrire aussi dans l&apos;étiquette ID&amp;3v2</translation>
    </message>
    <message>
        <source>Players show the ID3v2 tag first: the fields you set are written into it too, where a file has one</source>
        <translation>Les lecteurs affichent d&apos;abord l&apos;étiquette ID3v2 : les champs que vous définissez y sont écrits aussi, quand un fichier en a une</translation>
    </message>
    <message>
        <source>&amp;Fill empty fields from each file&apos;s ID3v2 tag</source>
        <translation>&amp;Remplir les champs vides depuis l&apos;étiquette ID3v2 de chaque fichier</translation>
    </message>
    <message>
        <source>%1 bytes used</source>
        <translation>%1 octets utilisés</translation>
    </message>
    <message>
        <source>(cleared in every file)</source>
        <translation>(effacé dans chaque fichier)</translation>
    </message>
    <message>
        <source>(different values)</source>
        <translation>(valeurs différentes)</translation>
    </message>
    <message>
        <source>C&amp;lear in Every File</source>
        <translation>E&amp;ffacer dans chaque fichier</translation>
    </message>
    <message>
        <source>Also has an ID3v2.%1 tag</source>
        <translation>A aussi une étiquette ID3v2.%1</translation>
    </message>
    <message>
        <source>Also has an APE tag</source>
        <translation>A aussi une étiquette APE</translation>
    </message>
    <message>
        <source>Has an ID3v2.%1 tag that was not read: it would take more memory than any tag needs</source>
        <translation>A une étiquette ID3v2.%1 qui n&apos;a pas été lue : sa lecture demanderait plus de mémoire qu&apos;aucune étiquette n&apos;en exige</translation>
    </message>
</context>
<context>
    <name>CMp3PropertySheet</name>
    <message>
        <source>ID3 Tag</source>
        <translation>Étiquette ID3</translation>
    </message>
    <message>
        <source>The %1 field holds no more than %2 bytes, and its text takes %3: some of its characters take more than one byte.</source>
        <translation>Le champ %1 contient au plus %2 octets, et son texte en occupe %3 : certains de ses caractères occupent plus d&apos;un octet.</translation>
    </message>
    <message>
        <source>read-only</source>
        <translation>lecture seule</translation>
    </message>
    <message>
        <source>changed since listed</source>
        <translation>modifié depuis la lecture</translation>
    </message>
    <message>
        <source>vanished</source>
        <translation>disparu</translation>
    </message>
    <message>
        <source>... and %1 more file(s).</source>
        <translation>... et %1 autre(s) fichier(s).</translation>
    </message>
    <message>
        <source>its ID3v2 tag could not be written (%1), so neither tag was changed</source>
        <translation>son étiquette ID3v2 n&apos;a pas pu être écrite (%1) : aucune des deux étiquettes n&apos;a été modifiée</translation>
    </message>
    <message>
        <source>not tried after that error</source>
        <translation>pas essayé après cette erreur</translation>
    </message>
    <message>
        <source>Not written, %1 file(s):</source>
        <translation>Non écrits, %1 fichier(s) :</translation>
    </message>
    <message>
        <source>Written, %1 file(s):</source>
        <translation>Écrits, %1 fichier(s) :</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1 : %2</translation>
    </message>
    <message>
        <source>A comment of more than 28 bytes would take the place of the track number. Shorten the %1 field to 28 bytes, or empty the %2 field to take the track number away.</source>
        <translation>Un commentaire de plus de 28 octets prendrait la place du numéro de piste. Raccourcissez le champ %1 à 28 octets, ou videz le champ %2 pour retirer le numéro de piste.</translation>
    </message>
    <message>
        <source>A comment of more than 28 bytes would take the place of the track number in %1 of the selected files. Shorten the %2 field to 28 bytes, or clear the %3 field in every file to take the track numbers away.</source>
        <translation>Un commentaire de plus de 28 octets prendrait la place du numéro de piste dans %1 des fichiers sélectionnés. Raccourcissez le champ %2 à 28 octets, ou effacez le champ %3 dans chaque fichier pour retirer les numéros de piste.</translation>
    </message>
    <message>
        <source>A track number takes the comment&apos;s last two bytes, and this comment needs them. Shorten the %1 field to 28 bytes, or leave the %2 field empty.</source>
        <translation>Un numéro de piste occupe les deux derniers octets du commentaire, et ce commentaire en a besoin. Raccourcissez le champ %1 à 28 octets, ou laissez le champ %2 vide.</translation>
    </message>
    <message>
        <source>A track number takes the comment&apos;s last two bytes, and the comments of %1 of the selected files need them. Type a text of 28 bytes at most in the %2 field, or leave the %3 field empty.</source>
        <translation>Un numéro de piste occupe les deux derniers octets du commentaire, et les commentaires de %1 des fichiers sélectionnés en ont besoin. Tapez dans le champ %2 un texte de 28 octets au plus, ou laissez le champ %3 vide.</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>annulé</translation>
    </message>
    <message>
        <source>The edit was stopped before every file was written.</source>
        <translation>La modification a été arrêtée avant que tous les fichiers soient écrits.</translation>
    </message>
    <message>
        <source>The undo was stopped before %1 file(s): Undo takes them back.</source>
        <translation>L&apos;annulation a été arrêtée avant %1 fichier(s) : Annuler les rétablit.</translation>
    </message>
    <message>
        <source>These files&apos; ID3v2 tags were not read, so their empty fields were not filled from them: they would take more memory than any tag needs.</source>
        <translation>Les étiquettes ID3v2 de ces fichiers n&apos;ont pas été lues, leurs champs vides n&apos;en ont donc pas été remplis : leur lecture demanderait plus de mémoire qu&apos;aucune étiquette n&apos;en exige.</translation>
    </message>
</context>
<context>
    <name>CNameFormatDialog</name>
    <message>
        <source>already has this name</source>
        <translation>porte déjà ce nom</translation>
    </message>
    <message>
        <source>its tag leaves nothing of a name</source>
        <translation>son étiquette ne donne aucun nom</translation>
    </message>
    <message>
        <source>a file of that name exists</source>
        <translation>un fichier de ce nom existe</translation>
    </message>
    <message>
        <source>a file above takes that name</source>
        <translation>un fichier plus haut prend ce nom</translation>
    </message>
    <message>
        <source>the file is not there any more</source>
        <translation>le fichier n&apos;est plus là</translation>
    </message>
    <message>
        <source>listed twice</source>
        <translation>présent deux fois</translation>
    </message>
    <message>
        <source>the comment would replace its track number</source>
        <translation>le commentaire remplacerait son numéro de piste</translation>
    </message>
    <message>
        <source>the track number would cut its comment of more than 28 bytes</source>
        <translation>le numéro de piste couperait son commentaire de plus de 28 octets</translation>
    </message>
    <message>
        <source>A &apos;%&apos; must be followed by a placeholder letter, or by &apos;%&apos; for a percent sign.</source>
        <translation>Un « % » doit être suivi d&apos;une lettre de champ, ou de « % » pour un signe pour cent.</translation>
    </message>
    <message>
        <source>To read names the format needs a placeholder, each at most once, and no &apos;/&apos;.</source>
        <translation>Pour lire les noms, le format demande un champ, chacun une fois au plus, et aucun « / ».</translation>
    </message>
    <message>
        <source>Rename Files from Tags</source>
        <translation>Renommer d&apos;après les étiquettes</translation>
    </message>
    <message>
        <source>Tags from File Names</source>
        <translation>Étiquettes d&apos;après les noms</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>&amp;Format:</source>
        <translation>&amp;Format :</translation>
    </message>
    <message>
        <source>&amp;Insert</source>
        <translation>&amp;Insérer</translation>
    </message>
    <message>
        <source>Percent sign</source>
        <translation>Signe pour cent</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <source>New name</source>
        <translation>Nouveau nom</translation>
    </message>
    <message>
        <source>Fields found</source>
        <translation>Champs trouvés</translation>
    </message>
    <message>
        <source>Left alone because</source>
        <translation>Laissé tel quel car</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Aperçu</translation>
    </message>
    <message>
        <source>the name does not match the format</source>
        <translation>le nom ne suit pas le format</translation>
    </message>
    <message>
        <source>a value is refused: %1</source>
        <translation>une valeur est refusée : %1</translation>
    </message>
    <message>
        <source>no field is found</source>
        <translation>aucun champ n&apos;est trouvé</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is no number from 1 to 255</source>
        <translation>%1 : « %2 » n&apos;est pas un nombre de 1 à 255</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is neither a number from 0 to 255 nor the name of a genre</source>
        <translation>%1 : « %2 » n&apos;est ni un nombre de 0 à 255 ni le nom d&apos;un genre</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; has characters that %3 cannot store</source>
        <translation>%1 : « %2 » a des caractères que %3 ne peut pas enregistrer</translation>
    </message>
    <message>
        <source>%1: %2 bytes in %3, over the field&apos;s %4</source>
        <translation>%1 : %2 octets en %3, au-delà des %4 du champ</translation>
    </message>
    <message>
        <source>%1: %2 bytes in %3, over the %4 a track number leaves it</source>
        <translation>%1 : %2 octets en %3, au-delà des %4 que lui laisse un numéro de piste</translation>
    </message>
</context>
<context>
    <name>COptionPage1</name>
    <message>
        <source>Keep the catalo&amp;gue between runs</source>
        <translation>Garder le catalogue entre les &amp;sessions</translation>
    </message>
    <message>
        <source>&amp;Play</source>
        <translation>&amp;Jouer</translation>
    </message>
    <message>
        <source>&amp;Enqueue</source>
        <translation>&amp;Ajouter à la file</translation>
    </message>
    <message>
        <source>P&amp;roperties</source>
        <translation>P&amp;ropriétés</translation>
    </message>
    <message>
        <source>&amp;Full row selection</source>
        <translation>Sélection de la &amp;ligne entière</translation>
    </message>
    <message>
        <source>&amp;Left justify</source>
        <translation>Aligner à &amp;gauche</translation>
    </message>
    <message>
        <source>&amp;Center</source>
        <translation>&amp;Centrer</translation>
    </message>
    <message>
        <source>Enter key and double-click action</source>
        <translation>Action de la touche Entrée et du double-clic</translation>
    </message>
    <message>
        <source>Row selection</source>
        <translation>Sélection des lignes</translation>
    </message>
    <message>
        <source>Columns alignment</source>
        <translation>Alignement des colonnes</translation>
    </message>
    <message>
        <source>Tags</source>
        <translation>Étiquettes</translation>
    </message>
</context>
<context>
    <name>COptionSheet</name>
    <message>
        <source>List options</source>
        <translation>Options de la liste</translation>
    </message>
</context>
<context>
    <name>COtherTagsRead</name>
    <message>
        <source>Reading the file&apos;s tags...</source>
        <translation>Lecture des étiquettes du fichier...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>CRenameRun</name>
    <message>
        <source>a file of that name exists</source>
        <translation>un fichier de ce nom existe</translation>
    </message>
    <message>
        <source>it was moved or replaced since</source>
        <translation>il a été déplacé ou remplacé depuis</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1 : %2</translation>
    </message>
    <message>
        <source>These files were left with the name they have now:</source>
        <translation>Ces fichiers gardent le nom qu&apos;ils ont maintenant :</translation>
    </message>
    <message>
        <source>These files were not renamed:</source>
        <translation>Ces fichiers n&apos;ont pas été renommés :</translation>
    </message>
    <message>
        <source>The undo was stopped before %1 file(s): Undo takes them back.</source>
        <translation>L&apos;annulation a été arrêtée avant %1 fichier(s) : Annuler les reprend.</translation>
    </message>
    <message>
        <source>The renames were stopped before %1 file(s), which keep their names.</source>
        <translation>Le renommage a été arrêté avant %1 fichier(s), qui gardent leur nom.</translation>
    </message>
</context>
<context>
    <name>CTrackCommands</name>
    <message>
        <source>&amp;Play</source>
        <translation>&amp;Jouer</translation>
    </message>
    <message>
        <source>&amp;Enqueue</source>
        <translation>&amp;Ajouter à la file</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Copier</translation>
    </message>
    <message>
        <source>&amp;Properties ...</source>
        <translation>&amp;Propriétés...</translation>
    </message>
    <message>
        <source>&amp;Rename Files from Tags...</source>
        <translation>&amp;Renommer d&apos;après les étiquettes...</translation>
    </message>
    <message>
        <source>&amp;Tags from File Names...</source>
        <translation>É&amp;tiquettes d&apos;après les noms...</translation>
    </message>
</context>
<context>
    <name>CWriteProgress</name>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Writing tags</source>
        <translation>Écriture des étiquettes</translation>
    </message>
    <message>
        <source>Stops writing tags after the file being written</source>
        <translation>Arrête l&apos;écriture des étiquettes après le fichier en cours</translation>
    </message>
    <message>
        <source>%1 of %2 file(s)</source>
        <translation>%1 sur %2 fichier(s)</translation>
    </message>
</context>
</TS>
