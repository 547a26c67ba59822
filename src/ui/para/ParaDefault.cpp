#include "ui/para/ParaDefault.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <string>

#include "platform/IniFile.h"
#include "shared/SharedTexts.h"
#include "ui/para/ParaWidgets.h"
#include "ui/para/TabBluetooth.h"

namespace plenar {

namespace {

enum class Kind {
  ListOrNone,   // text; matching item, else no item
  ListOrFirst,  // text; matching item, else item 0; default from an option list
  Bool,         // check box
  Text,         // edit or spin box text
  RadioGroup,   // item index
  RadioPair,    // 0 checks the first button, 1 the second, other values change nothing
  Memo,         // count key, then one key per line
  Mac,          // six two-character boxes joined
  SameKey,      // a second spelling of the key before: read again with that field's text as
                // default, written again with the same text
};

struct Field {
  const char* key;
  Kind kind;
  const char* control;
  const char* def = "";                 // text default, or "1"/"0", or a number
  OptionList list = OptionList::Count;  // ListOrFirst: default from this list...
  int listItem = 0;                     // ...at this item
  const char* second = nullptr;         // RadioPair: the button that 1 checks
};

constexpr const char* kMacBoxes[] = {"Edit3",       "Edit5",        "edt_macaddo",
                                     "edt_macaddt", "edt_macaddfr", "edt_macaddfor"};

// In the order the keys are read and written.
const Field kFields[] = {
    {"BaudRate", Kind::ListOrNone, "cbb_BauRate", "9600"},
    {"CodePage", Kind::ListOrNone, "cbb_Codepage", "CP437:USA/Standard Europe"},
    {"FontValue", Kind::ListOrNone, "cbb_FontValue", "12x24"},
    {"Dark", Kind::ListOrFirst, "cbb_Dark", "", OptionList::DarkDescription, 1},
    {"ForcePaper", Kind::ListOrNone, "cbb_Forcepaper", "0X0A"},
    {"buzzer", Kind::Bool, "chk_buzzer", "1"},
    {"Drawer", Kind::Bool, "chk_Drawer", "0"},
    {"CutPaper", Kind::Bool, "chk_CutPaper", "1"},
    {"AutoprintLast", Kind::Bool, "chk_AutoprintLast", "0"},
    {"sleepTime", Kind::Text, "edt_sleepTime", "600"},
    {"poweroffTime", Kind::Text, "edt_poweroffTime", "7200"},
    {"BlueToolthName", Kind::Text, "edt_lyName"},
    {"MulBlueToolthName", Kind::Text, "edt_smlyName"},
    {"BlueToolthPsw", Kind::Text, "edt_lyPsw"},
    {"BlueToolthType", Kind::Text, "edt_lyType", "1"},
    {"BlueToolthMode", Kind::RadioGroup, "rg_lyMode", "1"},
    {"BlueToolthCheck", Kind::RadioGroup, "rg_lyPswcheck", "0"},
    {"BlueToolthWorkMode", Kind::ListOrFirst, "cbb_lyWorkMode", "", OptionList::BluetoothWorkMode,
     1},
    {"blueCmdCount", Kind::Memo, "mmo_1"},
    {"NetworkName", Kind::Text, "edt_GuangboName"},
    {"NetworkPsw", Kind::Text, "edt_APPsw"},
    {"SSID", Kind::Text, "edt_SSID"},
    {"StaModePsw", Kind::Text, "edt_StaModePsw"},
    {"IpType", Kind::RadioPair, "rb_AutoIp", "1", OptionList::Count, 0, "rb_StaticIP"},
    {"NetIPAddress", Kind::Text, "edt_NetIPAddress", "192.168.1.87"},
    // The same key again to the case-blind INI rules: read a second time, and written again so
    // that the file holds the address under this spelling.
    {"NetIPaddress", Kind::SameKey, "edt_NetIPAddress"},
    {"Subnetmask", Kind::Text, "edt_Subnetmask", "255.255.255.0"},
    {"MAC", Kind::Mac, "Edit3", "ABCD65666768"},
    {"gatewayt", Kind::Text, "edt_gatewayt", "192.168.1.1"},
    {"Netport", Kind::Text, "edt_Netport", "9100"},
    {"IPaddress", Kind::Text, "edt_IPaddress", "192.168.1.87"},
    {"Maskaddress", Kind::Text, "edt_Mask", "255.255.255.0"},
    {"Gatewayaddress", Kind::Text, "edt_Gateway", "192.168.1.1"},
    {"Port", Kind::Text, "edt_Port", "9100"},
    // Seven digits, unlike the eight the field shows before the first load.
    {"NetWorkPort", Kind::Text, "edt_NetWorkPort", "1345678"},
    {"InfraredType", Kind::RadioPair, "rb_notInfrared", "1", OptionList::Count, 0, "rb_Infrared"},
    {"InfraredBaurate", Kind::ListOrNone, "cbb_InfraredBaurate", "9600"},
    {"irdaProtecl", Kind::ListOrFirst, "cbb_irdaProtecl", "", OptionList::IrdaProtocol, 0},
    {"PrgFile", Kind::Text, "edt_Prgfile"},
    {"FontFile", Kind::Text, "edt_FontFile"},
    {"FontAddress", Kind::Text, "edt_FontAddress"},
    {"StartAddress", Kind::Text, "edt_StartAddress"},
    {"ReadLength", Kind::Text, "edt_ReadLength"},
    {"DeviceName", Kind::Text, "edt_DeviceName"},
    {"DeviceSerialNo", Kind::Text, "edt_DeviceSerialNo"},
    {"UsbDeviceTpe", Kind::ListOrFirst, "cbb_UsbDeviceTpe", "", OptionList::UsbDeviceType, 1},
    {"PrinterOrder", Kind::ListOrFirst, "cbb_PrinterOrder", "", OptionList::PrinterOrder, 1},
    {"PaperType", Kind::ListOrFirst, "cbb_PaperType", "", OptionList::PaperType, 1},
    {"Flowcontrol", Kind::ListOrFirst, "cbb_Flowcontrol", "", OptionList::FlowControl, 1},
    {"RptTime", Kind::Text, "edt_RptTime", "30"},
    {"calculate", Kind::RadioPair, "rb_Minus", "1", OptionList::Count, 0, "rb_Plus"},
    {"WaitTime", Kind::Text, "edt_WaitTime", "5"},
    {"BluetoothSEEK", Kind::ListOrFirst, "Cbx_Bluetooth", "", OptionList::BluetoothSeek, 1},
    {"PaperSizeType", Kind::ListOrFirst, "cbb_PaperSize", "", OptionList::PaperSizeType, 1},
    {"Blacklookdistance", Kind::Text, "edt__Black_look_distance", "400"},
    {"Blackwidth", Kind::Text, "edt__Black_width", "40"},
    {"Cutteroptocoupler", Kind::Text, "edt_cutter_optocoupler", "5"},
    {"Printeropto", Kind::Text, "edt_2", "5"},
};

template <class T>
T* control(const QWidget* window, const char* name) {
  return window->findChild<T*>(QString::fromLatin1(name));
}

QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

std::string defaultText(const Field& f) {
  return f.kind == Kind::ListOrFirst ? optionEntry(f.list, f.listItem) : std::string(f.def);
}

// The text of an edit or spin box.
QString textOf(const QWidget* w) {
  if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
  if (auto* s = qobject_cast<const QSpinBox*>(w)) return s->text();
  return {};
}

void setTextOf(QWidget* w, const QString& text) {
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->setText(text);
  } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
    // A stored text that is no number in range leaves the value as it was.
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (ok && value >= s->minimum() && value <= s->maximum()) s->setValue(value);
  }
}

void loadField(QWidget* window, const IniDocument& doc, const Field& f) {
  const std::string def = defaultText(f);
  switch (f.kind) {
    case Kind::SameKey:
      if (auto* e = control<QLineEdit>(window, f.control)) {
        e->setText(qs(doc.readString(kParaSection, f.key, e->text().toStdString())));
      }
      break;
    case Kind::ListOrNone:
    case Kind::ListOrFirst:
      if (auto* box = control<QComboBox>(window, f.control)) {
        para::selectMatching(box, qs(doc.readString(kParaSection, f.key, def)),
                             f.kind == Kind::ListOrFirst);
      }
      break;
    case Kind::Bool:
      if (auto* box = control<QCheckBox>(window, f.control)) {
        box->setChecked(doc.readBool(kParaSection, f.key, def == "1"));
      }
      break;
    case Kind::Text:
      if (QWidget* w = control<QWidget>(window, f.control)) {
        setTextOf(w, qs(doc.readString(kParaSection, f.key, def)));
      }
      break;
    case Kind::RadioGroup:
      if (auto* group = control<QGroupBox>(window, f.control)) {
        para::checkItem(group, doc.readInt(kParaSection, f.key, std::stoi(def)));
      }
      break;
    case Kind::RadioPair: {
      const int value = doc.readInt(kParaSection, f.key, std::stoi(def));
      auto* first = control<QRadioButton>(window, f.control);
      auto* second = control<QRadioButton>(window, f.second);
      if (value == 0 && first) first->setChecked(true);
      if (value == 1 && second) second->setChecked(true);
      break;
    }
    case Kind::Memo:
      if (auto* memo = control<QPlainTextEdit>(window, f.control)) {
        const int count = doc.readInt(kParaSection, f.key, 0);
        QStringList lines;
        for (int i = 1; i <= count; ++i) {
          lines << qs(doc.readString(kParaSection, "BlueToolthCmd" + std::to_string(i), ""));
        }
        memo->setPlainText(lines.join(QLatin1Char('\n')));
      }
      break;
    case Kind::Mac: {
      const QString mac = qs(doc.readString(kParaSection, f.key, def));
      for (int i = 0; i < 6; ++i) {
        if (auto* box = control<QLineEdit>(window, kMacBoxes[i])) box->setText(mac.mid(i * 2, 2));
      }
      break;
    }
  }
}

void saveField(const QWidget* window, IniDocument& doc, const Field& f) {
  auto write = [&](const std::string& key, const QString& value) {
    doc.writeString(kParaSection, key, value.toStdString());
  };
  switch (f.kind) {
    case Kind::ListOrNone:
    case Kind::ListOrFirst:
      if (auto* box = control<QComboBox>(window, f.control)) write(f.key, box->currentText());
      break;
    case Kind::Bool:
      if (auto* box = control<QCheckBox>(window, f.control)) {
        write(f.key, box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
      }
      break;
    case Kind::Text:
    case Kind::SameKey:
      if (QWidget* w = control<QWidget>(window, f.control)) write(f.key, textOf(w));
      break;
    case Kind::RadioGroup:
      if (auto* group = control<QGroupBox>(window, f.control)) {
        doc.writeInt(kParaSection, f.key, para::checkedItem(group));
      }
      break;
    case Kind::RadioPair: {
      auto* first = control<QRadioButton>(window, f.control);
      auto* second = control<QRadioButton>(window, f.second);
      // Neither checked (only after a stored value other than 0 and 1) is kept as 2, which
      // loads as "change nothing" again.
      int value = 2;
      if (first && first->isChecked()) value = 0;
      if (second && second->isChecked()) value = 1;
      doc.writeInt(kParaSection, f.key, value);
      break;
    }
    case Kind::Memo:
      if (auto* memo = control<QPlainTextEdit>(window, f.control)) {
        const QStringList lines = memoLines(memo);
        doc.writeInt(kParaSection, f.key, static_cast<int>(lines.size()));
        for (qsizetype i = 0; i < lines.size(); ++i) {
          write("BlueToolthCmd" + std::to_string(i + 1), lines[i]);
        }
      }
      break;
    case Kind::Mac: {
      QString mac;
      for (const char* name : kMacBoxes) {
        if (auto* box = control<QLineEdit>(window, name)) mac += box->text();
      }
      write(f.key, mac);
      break;
    }
  }
}

}  // namespace

void loadParaDefault(QWidget* window, const IniDocument& doc) {
  for (const Field& f : kFields) loadField(window, doc, f);
}

void saveParaDefault(const QWidget* window, IniDocument& doc) {
  for (const Field& f : kFields) saveField(window, doc, f);
}

}  // namespace plenar
