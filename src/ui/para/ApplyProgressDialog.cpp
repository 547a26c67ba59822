// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/ApplyProgressDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "profile/ApplyRun.h"
#include "ui/QtText.h"
#include "ui/para/ParaTab.h"
#include "ui/para/ParaWidgets.h"

namespace plenar {

namespace {

enum Column { kGroup, kCommand, kStatus, kTime, kColumns };
// The statuses of a step as ApplyRun reports them, and "running" for the one under way.
enum Status { kDone, kSkipped, kFailed, kNotRun, kRunning, kStatuses };
const char* const kStatusNames[kStatuses] = {"done", "skipped", "failed", "not-run", "running"};

int statusIndex(ApplyRun::StepStatus status) {
  switch (status) {
    case ApplyRun::StepStatus::Done:
      return kDone;
    case ApplyRun::StepStatus::Skipped:
      return kSkipped;
    case ApplyRun::StepStatus::Failed:
      return kFailed;
    case ApplyRun::StepStatus::NotRun:
      return kNotRun;
  }
  return kNotRun;
}

using NoteKind = ApplyRun::NoteKind;
// The notes' built-in wording, "%1".. for the texts each names; the language files replace it.
struct NoteWording {
  NoteKind kind;
  const char* label;
  const char* chinese;
};
const NoteWording kNoteWordings[] = {
    {NoteKind::NoRecordKey, "lbl_ApplyNoteNoKey", "%1：含密码的配置组每次都会发送"},
    {NoteKind::RecordUnreadable, "lbl_ApplyNoteUnreadable", "%1；所有配置组都会发送，记录将被替换"},
    {NoteKind::RecordOfAnotherLink, "lbl_ApplyNoteOtherLink",
     "记录 %1 属于另一个连接（%2）；所有配置组都会发送"},
    {NoteKind::NowUsbVirtualSerial, "lbl_ApplyNoteUsbSerial",
     "打印机现在是 USB 虚拟串口：请在连接窗口的串口列表中选择它"},
    {NoteKind::NoAnswerOnRecordedLink, "lbl_ApplyNoteNoAnswer", "记录的连接 %1 没有应答；改试 %2"},
    {NoteKind::RecordStale, "lbl_ApplyNoteStale",
     "打印机在记录所说的上次应用后的连接 %1 上没有应答，却在 %2 "
     "上应答：记录已过期（打印机被复位或用其他方式设置过），所有配置组都会发送"},
    {NoteKind::AnsweredWhereLeft, "lbl_ApplyNoteWhereLeft",
     "打印机在上次应用后的连接上应答：%1（不是 %2）"},
    {NoteKind::AnotherModel, "lbl_ApplyNoteModel",
     "记录属于型号标记为“%1”的打印机，这台应答“%2”：其状态未知，所有配置组都会发送"},
};

// The words before the result's lines.
enum Word { kNoteWord, kLinkAfterWord, kRecordWord, kWords };
const char* const kEnglishWords[kWords] = {"note", "link after", "record"};

}  // namespace

ApplyProgressDialog::ApplyProgressDialog(QWidget* parent) : QDialog(parent) {
  using namespace para;
  setObjectName(QStringLiteral("qt_applyProgress"));
  setModal(false);

  auto* fileLabel = label("lbl_ApplyFile", QStringLiteral("配置文件："), this);
  profile_ = new QLabel(this);
  profile_->setObjectName(QStringLiteral("qt_applyProfile"));
  profile_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  stepsLabel_ = label("lbl_ApplySteps", QStringLiteral("步骤："), this);
  steps_ = new QTreeWidget(this);
  steps_->setObjectName(QStringLiteral("qt_applySteps"));
  steps_->setRootIsDecorated(false);
  steps_->setColumnCount(kColumns);
  steps_->header()->setStretchLastSection(false);
  steps_->header()->setSectionResizeMode(kGroup, QHeaderView::Stretch);
  stepsLabel_->setBuddy(steps_);
  activity_ = new QLabel(this);
  activity_->setObjectName(QStringLiteral("qt_applyActivity"));
  resultLabel_ = label("lbl_ApplyResult", QStringLiteral("结果："), this);
  result_ = new QPlainTextEdit(this);
  result_->setObjectName(QStringLiteral("qt_applyResult"));
  result_->setReadOnly(true);
  result_->setMaximumBlockCount(200);
  resultLabel_->setBuddy(result_);
  auto* close = button("btn_ApplyClose", QStringLiteral("关闭"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::close);

  columnWords_ = label("lbl_ApplyColumns", QStringLiteral("配置组|命令|状态|用时(毫秒)"), this);
  columnWords_->hide();
  statusWords_ = label("lbl_ApplyStatus", QStringLiteral("已完成|未变|失败|未执行|进行中"), this);
  statusWords_->hide();
  resultWords_ = label("lbl_ApplyWords", QStringLiteral("注意|之后的连接|记录"), this);
  resultWords_->hide();
  for (const NoteWording& n : kNoteWordings) {
    QLabel* wording = label(n.label, QString::fromUtf8(n.chinese), this);
    wording->hide();
    noteWordings_.push_back(wording);
  }

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(fileLabel);
  fileRow->addWidget(profile_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* column = new QVBoxLayout(this);
  column->addLayout(fileRow);
  column->addWidget(stepsLabel_);
  column->addWidget(steps_, 3);
  column->addWidget(activity_);
  column->addWidget(resultLabel_);
  column->addWidget(result_, 1);
  column->addLayout(buttons);
  resize(480, 520);
}

QString ApplyProgressDialog::statusWord(int index) const {
  const QStringList words = statusWords_->text().split(QLatin1Char('|'));
  return index < words.size() ? words[index].trimmed() : QString::fromLatin1(kStatusNames[index]);
}

QString ApplyProgressDialog::resultWord(int word) const {
  const QStringList words = resultWords_->text().split(QLatin1Char('|'));
  return word < words.size() ? words[word].trimmed() : QString::fromLatin1(kEnglishWords[word]);
}

QString ApplyProgressDialog::noteText(const ApplyRun::Note& note) const {
  QString text;
  for (std::size_t i = 0; i < std::size(kNoteWordings); ++i) {
    if (kNoteWordings[i].kind == note.kind) text = noteWordings_[i]->text();
  }
  // In one pass: a path or reason that holds "%2" itself stays as it is.
  const auto& a = note.args;
  if (a.size() == 1) return text.arg(qs(a[0]));
  if (a.size() >= 2) return text.arg(qs(a[0]), qs(a[1]));
  return text;
}

void ApplyProgressDialog::begin(const QString& title, const QString& profile, const ApplyRun& run) {
  setWindowTitle(title);
  profile_->setText(profile);
  QStringList headers = columnWords_->text().split(QLatin1Char('|'));
  while (headers.size() < kColumns) headers << QString();
  steps_->setHeaderLabels(headers.mid(0, kColumns));
  // Screen readers name the list and the result by their captions, in the language in force.
  steps_->setAccessibleName(captionOf(stepsLabel_));
  result_->setAccessibleName(captionOf(resultLabel_));
  steps_->clear();
  result_->clear();
  activity_->clear();
  fillSteps(run, {});
  show();
  raise();
}

void ApplyProgressDialog::update(const ApplyRun& run, const std::string& runningGroup,
                                 const QString& activity) {
  fillSteps(run, runningGroup);
  activity_->setText(activity);
}

void ApplyProgressDialog::fillSteps(const ApplyRun& run, const std::string& runningGroup) {
  const std::vector<ApplyRun::StepReport> steps = run.steps();
  if (steps_->topLevelItemCount() != static_cast<int>(steps.size())) {
    steps_->clear();
    for (const auto& s : steps) {
      auto* item = new QTreeWidgetItem(steps_);
      item->setText(kGroup, qs(s.group->name));
      item->setText(kCommand, qs(s.group->command));
    }
  }
  for (int i = 0; i < steps_->topLevelItemCount(); ++i) {
    const ApplyRun::StepReport& s = steps[static_cast<std::size_t>(i)];
    QTreeWidgetItem* item = steps_->topLevelItem(i);
    const int status = s.group->name == runningGroup ? kRunning : statusIndex(s.status);
    item->setText(kStatus, statusWord(status));
    item->setText(kTime, status == kDone || status == kFailed ? QString::number(s.ms) : QString());
    item->setToolTip(kStatus, qs(s.error));
    if (status == kRunning) steps_->scrollToItem(item);
  }
}

QString ApplyProgressDialog::finish(const ApplyRun& run) {
  fillSteps(run, {});
  // The step that failed in view, else the first.
  steps_->scrollToTop();
  const QList<QTreeWidgetItem*> failed =
      steps_->findItems(statusWord(kFailed), Qt::MatchExactly, kStatus);
  if (!failed.isEmpty()) steps_->scrollToItem(failed.first());
  int counts[kStatuses] = {};
  for (const auto& s : run.steps()) {
    ++counts[statusIndex(s.status)];
  }
  QStringList parts;
  for (int i = kDone; i <= kNotRun; ++i) {
    parts << QStringLiteral("%1: %2").arg(statusWord(i)).arg(counts[i]);
  }
  const QString summary = parts.join(QStringLiteral("  "));

  QStringList lines{summary};
  if (const auto& e = run.error()) {
    lines << qs(e->group.empty() ? e->message : e->group + ": " + e->message);
    if (!e->detail.empty()) lines << qs(e->detail);
  }
  const auto line = [&](int word, const QString& text) {
    lines << QStringLiteral("%1: %2").arg(resultWord(word), text);
  };
  for (const ApplyRun::Note& note : run.noteFacts()) line(kNoteWord, noteText(note));
  if (const auto& after = run.linkAfter()) line(kLinkAfterWord, qs(describeLink(*after)));
  if (run.recordWritten()) line(kRecordWord, qs(run.recordPath()));
  result_->setPlainText(lines.join(QLatin1Char('\n')));
  activity_->clear();
  return run.error() ? qs(run.error()->message) : summary;
}

}  // namespace plenar
