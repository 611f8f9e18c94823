# cmake -DENTREE=... -DSORTIE=... -P lisezmoi.cmake: the French guide as
# Notepad shows its accents everywhere, in UTF-8 with a byte-order mark and
# CR LF line ends.
string(ASCII 239 187 191 marque)
file(READ "${ENTREE}" texte)
string(REPLACE "\n" "\r\n" texte "${texte}")
file(WRITE "${SORTIE}" "${marque}${texte}")
