#!/usr/bin/env python3
"""Builds data/catalogue.tsv, the property catalogue, from the published property facts.

Run by hand when the facts change (never by the build):

    python3 data/import.py [data/facts] > data/catalogue.tsv

The catalogue order is part of the library's binary interface (handles are positions):
the script derives it deterministically from the facts, and a change of the facts that
moves rows already released must not be committed. Output columns: name,
kind (standard / named-by-number / named-by-name), property set, identifier (hex) or
name, type (hex).
"""
import csv
import re
import sys

STRING_TYPES = {0x001E: 0x001F, 0x101E: 0x101F}  # 8-bit type -> wide type
WIDE_TYPES = {wide: narrow for narrow, wide in STRING_TYPES.items()}

PT_NAMES = {
    "PT_I2": 0x0002, "PT_LONG": 0x0003, "PT_DOUBLE": 0x0005, "PT_BOOLEAN": 0x000B,
    "PT_I8": 0x0014, "PT_STRING8": 0x001E, "PT_UNICODE": 0x001F, "PT_SYSTIME": 0x0040,
    "PT_CLSID": 0x0048, "PT_BINARY": 0x0102, "PT_MV_LONG": 0x1003,
    "PT_MV_STRING8": 0x101E, "PT_MV_UNICODE": 0x101F, "PT_MV_BINARY": 0x1102,
}

# The library's own named properties, by number, in their fixed order.
VELMORA_ROWS = [
    ("NPR_SEND_INVITATIONS_AND_UPDATES", 0x0001, "PT_BOOLEAN"),
    ("NPR_SENDUSINGACCOUNT", 0x0002, "PT_BOOLEAN"),
    ("NPR_SENDUSINGOUTLOOK", 0x0003, "PT_BOOLEAN"),
    ("NPR_CERTTHUMBPRINT", 0x0004, "PT_UNICODE"),
    ("NPR_SAVEDMESSAGE_URI", 0x0005, "PT_UNICODE"),
]

# Common message headers (RFC 5322, RFC 2045/2183, list and client headers, the
# sharing headers of the Exchange protocols), by name in PS_INTERNET_HEADERS.
INTERNET_HEADERS = [
    "Date", "From", "Sender", "Reply-To", "To", "Cc", "Bcc", "Message-ID", "In-Reply-To",
    "References", "Subject", "Comments", "Keywords", "Resent-Date", "Resent-From",
    "Resent-Sender", "Resent-To", "Resent-Cc", "Resent-Bcc", "Resent-Message-ID",
    "Return-Path", "Received", "MIME-Version", "Content-Type", "Content-Transfer-Encoding",
    "Content-ID", "Content-Description", "Content-Disposition", "Content-Language",
    "Content-Base", "Content-Location", "Content-Class", "Accept-Language", "Thread-Topic",
    "Thread-Index", "Importance", "Priority", "Sensitivity", "Disposition-Notification-To",
    "Return-Receipt-To", "Organization", "Expires", "Reply-By", "Followup-To", "Newsgroups",
    "Path", "Xref", "Precedence", "Auto-Submitted", "List-Id", "List-Help",
    "List-Unsubscribe", "List-Subscribe", "List-Post", "List-Owner", "List-Archive",
    "User-Agent", "X-Mailer", "X-Priority", "X-MSMail-Priority", "X-MimeOLE",
    "X-Originating-IP", "X-Auto-Response-Suppress", "X-Message-Flag", "X-Unsent",
    "X-Spam-Flag", "X-Spam-Status", "X-Spam-Score", "X-Spam-Level", "X-Mailing-List",
    "X-Call-ID", "X-CallingTelephoneNumber", "X-VoiceMessageDuration",
    "X-VoiceMessageSenderName", "X-FaxNumberOfPages", "X-AttachmentOrder",
    "X-RequireProtectedPlayOnPhone", "X-Sharing-Browse-Url", "X-Sharing-Capabilities",
    "X-Sharing-Config-Url", "X-Sharing-Exended-Caps", "X-Sharing-Extended-Caps",
    "X-Sharing-Flavor", "X-Sharing-Instance-Guid", "X-Sharing-Local-Type",
    "X-Sharing-Provider-Guid", "X-Sharing-Provider-Name", "X-Sharing-Provider-Url",
    "X-Sharing-Remote-Name", "X-Sharing-Remote-Path", "X-Sharing-Remote-Store-Uid",
    "X-Sharing-Remote-Type", "X-Sharing-Remote-Uid",
]

LAST_PROPERTY = "PR_SENT_REPRESENTING_SMTP"  # its _W form is the last entry


def read_tsv(path):
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f, delimiter="\t"))
    return rows[1:]


def is_string(ptype):
    return ptype in STRING_TYPES or ptype in WIDE_TYPES


class Catalogue:
    def __init__(self, published=None):
        self.rows = []
        self.identity = {}  # name -> (kind, set, id, type)
        # Names published under an identifier of their own: a triple never takes them.
        self.published = published or {}

    def add(self, name, kind, pset, ident, ptype):
        key = (kind, pset, ident, ptype)
        if name in self.identity:
            if self.identity[name] != key:
                sys.exit(f"{name}: two identities {self.identity[name]} and {key}")
            return
        self.identity[name] = key
        self.rows.append((name, kind, pset, ident, ptype))

    def add_family(self, base, kind, pset, ident, ptype):
        """A string property as plain, _A and _W; any other type as itself."""
        if not is_string(ptype):
            self.add(base, kind, pset, ident, ptype)
            return
        wide = STRING_TYPES.get(ptype, ptype)
        for name, member_type in ((base, wide), (base + "_A", WIDE_TYPES[wide]),
                                  (base + "_W", wide)):
            own = self.published.get(name)
            if own is None or own == ident:
                self.add(name, kind, pset, ident, member_type)


def standard_families(rows, by_name):
    """Groups rows into (name, id, type, triple) in first-seen order; by_name holds
    every published row, so that companions in the other table count.

    A string row named X_A or X_W belongs to the triple of X when X is a string
    property with the same identifier, or when X is not published at all; otherwise
    (PR_HTML_A beside the binary PR_HTML, PR_RULE_PROVIDER_A under another identifier)
    it is an entry of its own.
    """
    seen = set()
    result = []
    for name, _tag, ident, ptype in rows:
        ident, ptype = int(ident, 16), int(ptype, 16)
        base, triple = name, is_string(ptype)
        if triple and name[-2:] in ("_A", "_W"):
            base = name[:-2]
            own = by_name.get(base)
            if own is not None and not (is_string(int(own[3], 16)) and int(own[2], 16) == ident):
                base, triple = name, False
        if base in seen:
            continue
        seen.add(base)
        if triple and base == name and ptype in STRING_TYPES:
            # A plain 8-bit property published without wide forms stays 8-bit only.
            triple = base + "_A" in by_name or base + "_W" in by_name
        result.append((base, ident, ptype, triple))
    return result


def npr_derived_name(published):
    for prefix in ("PidLid", "dispid"):
        if published.startswith(prefix):
            return "NPR_" + published[len(prefix):].upper()
    return "NPR_" + published.upper()


def parse_id_or_name(text):
    if text.lower().startswith("0x"):
        return "named-by-number", f"0x{int(text, 16):04X}"
    if text.isdigit():
        return "named-by-number", f"0x{int(text):04X}"
    return "named-by-name", text


def main(facts):
    standard = read_tsv(f"{facts}/standard-properties.tsv")
    supplementary = read_tsv(f"{facts}/supplementary-properties.tsv")
    cat = Catalogue({r[0]: f"0x{int(r[2], 16):04X}" for r in standard + supplementary})
    named = read_tsv(f"{facts}/named-properties.tsv")
    npr_map = read_tsv(f"{facts}/npr-map.tsv")

    def add_standard(name, ident, ptype, triple):
        if triple:
            cat.add_family(name, "standard", "", f"0x{ident:04X}", ptype)
        else:
            cat.add(name, "standard", "", f"0x{ident:04X}", ptype)

    by_name = {r[0]: r[:4] for r in standard + supplementary}
    for family in standard_families(standard, by_name):
        add_standard(*family)
    last = None
    for family in standard_families([r[:4] for r in supplementary], by_name):
        if family[0] == LAST_PROPERTY:
            last = family
        else:
            add_standard(*family)  # rows already present are checked and skipped

    # Named properties by number: the library's names first for each published identity.
    velmora = {name for name, _, _ in VELMORA_ROWS}
    map_by_identity = {}
    for name, pset, id_or_name, ptype, _published in npr_map:
        kind, ident = parse_id_or_name(id_or_name)
        map_by_identity.setdefault((pset, kind, ident, PT_NAMES[ptype]), []).append(name)
    used_identities = set()

    def add_npr(name, kind, pset, ident, ptype):
        used_identities.add((pset, kind, ident, ptype))
        cat.add_family(name, kind, pset, ident, ptype)

    for pset, lid, ptype, published in named:
        ident = f"0x{int(lid, 16):04X}"
        names = map_by_identity.get((pset, "named-by-number", ident, PT_NAMES[ptype]))
        if not names:
            name = npr_derived_name(published.split()[0])
            if name in cat.identity or name + "_W" in cat.identity:
                name = f"{name}_{int(lid, 16):04X}"
            names = [name]
        for name in names:
            add_npr(name, "named-by-number", pset, ident, PT_NAMES[ptype])
    for name, pset, id_or_name, ptype, _published in npr_map:
        kind, ident = parse_id_or_name(id_or_name)
        if kind == "named-by-number" and name not in velmora:
            add_npr(name, kind, pset, ident, PT_NAMES[ptype])
    for name, number, ptype in VELMORA_ROWS:
        add_npr(name, "named-by-number", "PSETID_Velmora", f"0x{number:04X}", PT_NAMES[ptype])

    # Named properties by name.
    for name, pset, id_or_name, ptype, _published in npr_map:
        kind, ident = parse_id_or_name(id_or_name)
        if kind == "named-by-name":
            add_npr(name, kind, pset, ident, PT_NAMES[ptype])
    for header in INTERNET_HEADERS:
        name = "NPR_NAME" + re.sub(r"[^A-Za-z0-9]", "", header).upper()
        identity = ("PS_INTERNET_HEADERS", "named-by-name", header, PT_NAMES["PT_UNICODE"])
        if identity not in used_identities:
            add_npr(name, "named-by-name", "PS_INTERNET_HEADERS", header, identity[3])

    if last is None:
        sys.exit(f"{LAST_PROPERTY} is missing from the supplementary rows")
    add_standard(*last)

    out = sys.stdout
    out.write("name\tkind\tset\tid\ttype\n")
    for name, kind, pset, ident, ptype in cat.rows:
        out.write(f"{name}\t{kind}\t{pset}\t{ident}\t0x{ptype:04X}\n")


if __name__ == "__main__":
    if len(sys.argv) > 2:
        sys.exit("usage: import.py [FACTS-FOLDER] > catalogue.tsv")
    main(sys.argv[1] if len(sys.argv) == 2 else f"{sys.path[0]}/facts")
