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
#include "ui/para/ParaTab.h"
#include "ui/para/ParaWidgets.h"

namespace plenar {

namespace {

enum Column { kGroup, kCommand, kStatus, kTime, kColumns };
// The statuses of a step as ApplyRun reports them, and "running" for the one under way.
enum Status { kDone, kSkipped, kFailed, kNotRun, kRunning, kStatuses };
const char* const kStatusNames[kStatuses] = {"done", "skipped", "failed", "not-run", "running"};

int statusIndex(const std::string& status) {
  for (int i = 0; i < kStatuses; ++i) {
    if (status == kStatusNames[i]) return i;
  }
  return -1;
}

QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

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

QString ApplyProgressDialog::statusWord(const std::string& status) const {
  const int index = statusIndex(status);
  if (index < 0) return qs(status);
  const QStringList words = statusWords_->text().split(QLatin1Char('|'));
  return index < words.size() ? words[index].trimmed() : QString::fromLatin1(kStatusNames[index]);
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
    const std::string status = s.group->name == runningGroup ? "running" : s.status;
    item->setText(kStatus, statusWord(status));
    item->setText(kTime,
                  status == "done" || status == "failed" ? QString::number(s.ms) : QString());
    item->setToolTip(kStatus, qs(s.error));
    if (status == "running") steps_->scrollToItem(item);
  }
}

QString ApplyProgressDialog::finish(const ApplyRun& run) {
  fillSteps(run, {});
  // The step that failed in view, else the first.
  steps_->scrollToTop();
  const QList<QTreeWidgetItem*> failed =
      steps_->findItems(statusWord("failed"), Qt::MatchExactly, kStatus);
  if (!failed.isEmpty()) steps_->scrollToItem(failed.first());
  int counts[kStatuses] = {};
  for (const auto& s : run.steps()) {
    if (int index = statusIndex(s.status); index >= 0) ++counts[index];
  }
  QStringList parts;
  for (int i = kDone; i <= kNotRun; ++i) {
    parts << QStringLiteral("%1: %2").arg(statusWord(kStatusNames[i])).arg(counts[i]);
  }
  const QString summary = parts.join(QStringLiteral("  "));

  QStringList lines{summary};
  if (const auto& e = run.error()) {
    lines << qs(e->group.empty() ? e->message : e->group + ": " + e->message);
    if (!e->detail.empty()) lines << qs(e->detail);
  }
  for (const std::string& note : run.notes()) lines << qs("note: " + note);
  if (const auto& after = run.linkAfter()) lines << qs("link after: " + describeLink(*after));
  if (run.recordWritten()) lines << qs("record: " + run.recordPath());
  result_->setPlainText(lines.join(QLatin1Char('\n')));
  activity_->clear();
  return run.error() ? qs(run.error()->message) : summary;
}

}  // namespace plenar
