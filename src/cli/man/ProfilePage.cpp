// SPDX-License-Identifier: GPL-3.0-or-later
#include "Pages.h"
#include "Roff.h"
#include "profile/ApplyPlan.h"
#include "profile/KeyDocs.h"
#include "profile/ParaKeys.h"

namespace plenar::man {
namespace {

// A link-changing group: the links whose own parameter it is (sent last over them).
std::string linksOf(LinkRole role) {
  const std::pair<LinkKind, const char*> links[] = {{LinkKind::Serial, "serial"},
                                                    {LinkKind::Network, "network"},
                                                    {LinkKind::Usb, "USB"},
                                                    {LinkKind::Parallel, "parallel"}};
  std::string out;
  for (const auto& [kind, name] : links) {
    if (changesLink(role, kind)) out += (out.empty() ? "" : ", ") + std::string(name);
  }
  return out;
}

std::string stageText(const KeyDoc& d) {
  std::string out = stageName(d.stage);
  if (d.group && d.group->role != LinkRole::None) {
    out += " (a parameter of the " + linksOf(d.group->role) + " link: sent last over it)";
  }
  return out;
}

std::string itemHead(const ChoiceItem& item, bool indexAllowed) {
  std::string out;
  for (const std::string& word : item.plain) out += (out.empty() ? "" : ", ") + word;
  if (indexAllowed) out += (out.empty() ? "" : ", ") + std::to_string(item.index);
  return out;
}

std::string keyEntry(const KeyDoc& d, const IniDocument& english) {
  std::string out = ".TP\n.B " + quoted(d.key) + "\n";
  if (!d.sameAs.empty()) out += "The same key as\n.BR " + roff(d.sameAs) + " .\n.br\n";
  for (const std::string& alias : d.aliases) {
    out += "Also as\n.BR " + roff(alias) + " ,\na readable name for the window's spelling.\n.br\n";
  }
  if (d.group) {
    out += "Group\n.B " + roff(d.group->name) + "\n(like\n.BR \"plenar " + roff(d.group->command) +
           "\" ),\n";
  }
  out += (d.group ? "stage " : "Stage ") + roff(stageText(d)) + ".\n";
  if (!d.defaultValue.empty()) {
    out += (d.control.empty() ? "Default:" : "The window's default:");
    out += "\n.BR " + quoted(d.defaultValue) + " .\n";
  }
  out += ".br\nAccepts " + roff(d.accepts) + ".\n";
  if (d.values && d.values->form == ValueForm::Choice && d.values->list != OptionList::Count) {
    out += ".RS\n";
    for (const ChoiceItem& item : choiceItems(*d.values, &english)) {
      out += ".TP\n.B " + quoted(itemHead(item, d.values->indexAllowed)) + "\n" +
             roff(item.english) + "; " + roff(item.chinese) + "\n";
    }
    out += ".RE\n";
  }
  return out;
}

// From the name to the keys' heading; @APPLY@ stands for the window's button.
constexpr const char* kDescription = R"(.SH NAME
plenar-profile \- printer profile for plenar apply and the parameter window
.SH SYNOPSIS
.nf
[ParaDefault]
.IR KEY = VALUE
\&...
[Files]
.IR KEY = FILE
\&...
.fi
.SH DESCRIPTION
A profile is an INI file that
.B plenar apply
(see
.BR plenar (1))
and the parameter window's "Apply profile..." (@APPLY@) make a printer match. Its
.B [ParaDefault]
section holds the keys the window keeps in
.IR sysconfig.ini ,
which is itself a profile; the optional
.B [Files]
section names a firmware file, a font and logos, relative to the profile's folder.
The text is GBK as the window writes it, or UTF-8. A first line
.B "; encoding: GBK"
(the window writes it) or
.BR "; encoding: UTF-8" ,
or a UTF-8 byte-order mark, says which. A file without one is read as UTF-8 when its keys and
values are UTF-8, else as GBK; one whose text outside ASCII reads both ways (the two GBK bytes
of one Chinese character can be the UTF-8 bytes of an accented letter) is refused (exit 65)
until its first line says which.
.PP
Keys are matched without regard to letter case. A key that is absent is not managed. A key or
value that matches nothing is refused (exit 65) with the nearest keys or values, naming the key
and its line: a fleet never silently gets a list's first item. A missing or unreadable file is
exit 66. Keys that only describe the window are read and listed as ignored.
.PP
A list value may be given as a plain word (the same as the command's:
.BR hard ,
.BR receipt ,
.BR on ),
as the item's text in Chinese or English, as the window stores it, or, where the list allows
it, as the item's index. A saved profile keeps the window's own spelling of keys and values.
.PP
The keys of one group go to the printer as one request, so a group whose keys are only partly
given is refused.
.B "plenar profile keys"
prints this table, and
.B "\-\-json"
the same as JSON.
.SH STAGES
An apply sends the groups in stages:
.TP
.B firmware
the firmware update, checked against the printer's model first
.TP
.B files
fonts and logos
.TP
.B settings
the settings that leave the link alone
.TP
.B link
the settings that change a link; the current link's own parameters last (serial: flow control,
then the rate; network: the Ethernet switch, mask, gateway, port, then the address; USB: the
device type), so that nothing is sent over a link the printer has already left
.SH KEYS
.SS [ParaDefault]
)";

constexpr const char* kExamples = R"(.SH EXAMPLES
.nf
; shop.ini: the receipt printers of every shop
[ParaDefault]
BaudRate=115200
Flowcontrol=hard
CodePage=CP437
Dark=Normal
PaperType=receipt

[Files]
Logo1=shop\-logo.bmp
.fi
.PP
.nf
.B plenar \-\-serial /dev/ttyUSB0 apply shop.ini \-\-plan
.B plenar \-\-net 192.168.1.87 apply shop.ini \e
.B "    \-\-set NetIPAddress=192.168.1.88"
.fi
.SH "SEE ALSO"
.BR plenar (1),
.BR plenar\-setting\-tool (1)
)";

}  // namespace

std::string profilePage(const std::string& version, const IniDocument& english) {
  std::string out =
      ".TH PLENAR-PROFILE 5 \"\" " + quoted("plenar " + version) + " \"File Formats\"\n";
  out += kDescription;
  const std::string marker = "@APPLY@";
  out.replace(out.find(marker), marker.size(), roff("应用配置..."));
  const std::vector<KeyDoc> docs = profileKeyDocs();
  std::string ignored, files;
  for (const KeyDoc& d : docs) {
    if (d.section != kParaSection) {
      files += keyEntry(d, english);
    } else if (!d.ignored.empty()) {
      ignored += ".TP\n.B " + quoted(d.key) + "\n" + roff(d.ignored) + "\n";
    } else {
      out += keyEntry(d, english);
    }
  }
  out +=
      ".SS \"Keys that set nothing\"\nThe window stores them; an apply lists them as "
      "ignored.\n" +
      ignored;
  out += ".SS [Files]\n" + files;
  out += kExamples;
  return out;
}

}  // namespace plenar::man
