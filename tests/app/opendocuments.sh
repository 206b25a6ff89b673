#!/bin/sh
# Documents opened with "Adrelio FICHIER": a workbook saved by a spreadsheet program and a
# mail saved by a mail program, each without an extension that would tell its kind, show
# their addresses in the real program, as adrelio-extract finds them.
# Usage: opendocuments.sh PATH/TO/Adrelio PATH/TO/adrelio-extract
set -u

program=$1
extract=$2
# shellcheck source=SCRIPTDIR/../xsession.sh
. "$(dirname "$0")/../xsession.sh"
need_tools Xvfb xdpyinfo xdotool xwininfo xclip zip

mkdir "$work/classeur" "$work/classeur/xl" "$work/classeur/xl/worksheets" "$work/classeur/xl/_rels"
cat >"$work/classeur/[Content_Types].xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>
XML
cat >"$work/classeur/xl/workbook.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Contacts" sheetId="1" r:id="rId1"/></sheets></workbook>
XML
cat >"$work/classeur/xl/_rels/workbook.xml.rels" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>
XML
cat >"$work/classeur/xl/sharedStrings.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>Nom</t></si><si><t>Adresse</t></si><si><t>Élodie</t></si><si><r><t>élodie@</t></r><r><t>exemple.fr</t></r></si></sst>
XML
cat >"$work/classeur/xl/worksheets/sheet1.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row><row r="2"><c r="A2" t="s"><v>2</v></c><c r="B2" t="s"><v>3</v></c></row><row r="3"><c r="B3" t="inlineStr"><is><t>marie@exemple.fr</t></is></c></row></sheetData></worksheet>
XML
(cd "$work/classeur" && zip -q -r -X "$work/contacts" '[Content_Types].xml' xl) || fail "zip could not make the workbook"
mv "$work/contacts.zip" "$work/contacts"

printf '%s\r\n' 'From: =?ISO-8859-1?Q?Fran=E7ois?= <francois@exemple.fr>' 'To: club@exemple.fr' \
    'Subject: =?UTF-8?B?UsOpdW5pb24=?=' 'MIME-Version: 1.0' \
    'Content-Type: text/plain; charset=iso-8859-1' 'Content-Transfer-Encoding: quoted-printable' '' \
    'Contact : secr=E9tariat-de-la-sect=' 'ion-sportive@club-sportif.fr' >"$work/message"

start_xvfb 1024x768
for document in contacts message; do
    "$extract" "$work/$document" | sed 's/$/\r/' >"$work/expected" || fail "adrelio-extract could not read $document"
    [ -s "$work/expected" ] || fail "adrelio-extract found no address in $document"
    start_adrelio "$program" "$work/$document"
    copy_list "$work/copied"
    cmp -s "$work/copied" "$work/expected" \
        || fail "the list of $document is not its addresses: \"$(cat "$work/copied")\""
    menu_choose q 200 150
    wait_quit
    grep -qxF "IMPORT=$work/$document" "$work/Adrelio.INI" \
        || fail "the profile does not remember $document"
done
grep -q '^secrétariat-de-la-section-sportive@club-sportif.fr' "$work/expected" \
    || fail "the mail's quoted-printable address is not whole: \"$(cat "$work/expected")\""
echo "PASS: a workbook and a mail given on the command line showed their addresses"
