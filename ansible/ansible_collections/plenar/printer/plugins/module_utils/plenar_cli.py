# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

"""The one place that runs `plenar --json` and reads its result document.

Every module goes through PlenarCli: it builds the command line from the link options, runs
plenar with the module's run_command, parses the one JSON document plenar prints on stdout
(docs/plenar-result.schema.json in the plenar sources) and turns a failed document into a
module failure (plenar_failures, loaded only when something failed, to keep a module run
light: it is compiled afresh on every host) whose message says what to do about it.
"""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import json
import os

from ansible_collections.plenar.printer.plugins.module_utils.plenar_options import (
    CHANGED, RATES, UNCHANGED, group_word, in_own_words, is_secret_key, place_secret,
    secret_paths)

LINK_KINDS = ('serial', 'net', 'usb', 'lpt')

# plenar's exit codes; anything else means it did not finish on its own.
EXIT_CODES = (0, 1, 2, 64, 65, 66, 129, 130, 143)


class PlenarError(Exception):
    """plenar failed; `kind` is the document's error.kind, or 'output' when plenar printed no
    document it could be trusted for."""

    def __init__(self, msg, kind, doc=None, rc=None, stderr=''):
        super(PlenarError, self).__init__(msg)
        self.msg = msg
        self.kind = kind
        self.doc = doc
        self.rc = rc
        self.stderr = stderr


def link_options():
    """The link options of a printer, as argument spec entries (a fresh copy each time)."""
    return dict(
        serial=dict(type='str'),
        net=dict(type='str'),
        usb=dict(type='str'),
        lpt=dict(type='int'),
        device_baud=dict(type='int', choices=RATES),
        transfer_baud=dict(type='int', choices=RATES),
    )


def program_options():
    """Where plenar is and where it keeps its files."""
    return dict(
        plenar_path=dict(type='path'),
        state_dir=dict(type='path'),
        record_dir=dict(type='path'),
    )


def link_kind(link):
    """The one link kind `link` (a dict of link options) names, None when it names none."""
    given = [k for k in LINK_KINDS if link.get(k) not in (None, '')]
    if len(given) > 1:
        raise ValueError('choose one link: %s are all set' % ', '.join(given))
    return given[0] if given else None


def link_arguments(link):
    """plenar's link options for a dict of link options."""
    kind = link_kind(link)
    if kind is None:
        return []
    args = ['--' + kind, str(link[kind])]
    if kind == 'serial':
        for option in ('device_baud', 'transfer_baud'):
            if link.get(option) is not None:
                args += ['--' + option.replace('_', '-'), str(link[option])]
    return args


def describe_link(link):
    kind = link_kind(link)
    return '%s %s' % (kind, link[kind]) if kind else 'no link'


def ini_value(key, value):
    """One profile value as an INI line's right side. plenar reads values trimmed and without
    one pair of enclosing quotes, so a value that would lose characters that way is quoted; a
    line break would start a line of its own (another key, another section) and is refused."""
    text = value if isinstance(value, str) else str(value)
    if any(c in text for c in '\r\n\x00'):
        raise ValueError('%s: a profile value cannot hold a line break' % key)
    if text != text.strip() or (len(text) >= 2 and text[0] == text[-1] and text[0] in '"\''):
        return '"%s"' % text
    return text


def render_profile(sections):
    """Profile text from [(section, [(key, value), ...]), ...]; sections without keys are left
    out."""
    lines = []
    for section, entries in sections:
        if not entries:
            continue
        lines.append('[%s]' % section)
        lines.extend('%s=%s' % (key, ini_value(key, value)) for key, value in entries)
    return '\n'.join(lines) + '\n'


def parse_document(rc, out, err):
    """The result document of one run; PlenarError when there is none to trust."""
    tail = err.strip().splitlines()[-3:]
    try:
        doc = json.loads(out)
    except ValueError:
        raise PlenarError('plenar printed no result document (exit code %s): %s'
                          % (rc, ' / '.join(tail) or 'no output'), 'output', rc=rc, stderr=err)
    if not isinstance(doc, dict) or doc.get('schema') != 1:
        raise PlenarError('plenar printed a result document of an unknown schema (%r)'
                          % (doc.get('schema') if isinstance(doc, dict) else doc),
                          'output', rc=rc, stderr=err)
    if doc.get('exit_code') != rc or bool(doc.get('ok')) != (rc == 0):
        raise PlenarError('plenar exited with %s but its document says exit_code %s, ok %s'
                          % (rc, doc.get('exit_code'), doc.get('ok')), 'output', doc=doc,
                          rc=rc, stderr=err)
    return doc


def apply_arguments(profile_path, check=False, force=False, device=None, record_dir=None,
                    verify=False, settings=()):
    """plenar apply's arguments. `settings`, [(key, text), ...], are values over the profile
    file's (never a password: an argument list is readable by every user of the host).
    `record_dir` keeps the record in that folder under plenar's own name for the link.
    `verify` identifies the printer before the record decides; check mode sends nothing, so
    it never verifies."""
    args = ['apply', profile_path]
    for key, text in settings:
        if is_secret_key(key):
            raise ValueError('%s: a password never goes on the command line' % key)
        args += ['--set', '%s=%s' % (key, text)]
    if device:
        args += ['--device', device['name'], device['serial_no']]
    if record_dir:
        args += ['--record-dir', record_dir]
    if force:
        args.append('--force')
    if check:
        args.append('--check')
    elif verify:
        args.append('--verify')
    return args


def _secret_status(step, key, sent):
    """Whether a secret of a step changed: CHANGED, UNCHANGED, or None when nothing tells.
    plenar's word for it when it gives one; else a group not sent kept it, and a group is sent
    because its hash differs from the record's, so when every other value is as before (or
    there was no record of it) the secret is what changed."""
    if not sent:
        return UNCHANGED
    known = (step.get('secrets') or {}).get(key)
    if known in ('changed', 'unchanged'):
        return CHANGED if known == 'changed' else UNCHANGED
    values = step.get('values') or {}
    previous = step.get('previous')
    if previous is None or key not in previous:
        return CHANGED
    if bool(values.get(key)) != bool(previous.get(key)):
        return CHANGED
    others = dict((k, v) for k, v in values.items() if k != key)
    if others == dict((k, v) for k, v in previous.items() if k != key):
        return CHANGED
    return None


def _step_in_own_words(step, sent, translate):
    """A step as the module returns it: its values (and the previous ones) in the task's
    words; a secret as CHANGED (after only, so that a diff shows it) or UNCHANGED (before and
    after), left out when nothing tells; no hash or request bytes of a group with a secret."""
    out = dict(step)
    if step.get('group'):
        out['group'] = group_word(step['group'])
    values = step.get('values')
    previous = step.get('previous')
    if values is not None:
        out['values'] = in_own_words(values, translate)
    if previous is not None:
        out['previous'] = in_own_words(previous, translate)
    keys = dict(secret_paths(values, translate))
    keys.update(secret_paths(previous, translate))
    for key, path in keys.items():
        status = _secret_status(step, key, sent)
        if status is None:
            continue
        if values is not None:
            place_secret(out['values'], path, status)
        if previous is not None and status == UNCHANGED:
            place_secret(out['previous'], path, status)
    if keys:
        for field in ('sha256', 'previous_sha256', 'bytes', 'request', 'requests'):
            out.pop(field, None)
    return out


def own_error(doc, translate=True):
    """The document's error as the module returns it (see plenar_failures, loaded only for
    one)."""
    from ansible_collections.plenar.printer.plugins.module_utils import plenar_failures
    return plenar_failures.own_error(doc, translate)


def ignored_in_own_words(entries, translate):
    """The profile keys that set nothing, named as the task names them."""
    if not entries:
        return []
    from ansible_collections.plenar.printer.plugins.module_utils import plenar_failures
    return [plenar_failures.ignored_in_own_words(e, translate) for e in entries]


def _merge(into, values):
    for key, value in values.items():
        if isinstance(value, dict) and isinstance(into.get(key), dict):
            _merge(into[key], value)
        else:
            into[key] = value


def summarize_apply(doc, check, translate=True):
    """What a module returns for one apply (or apply --check) document. With `translate` (the
    module wrote the profile from its `profile` option) every value is named by its option;
    otherwise by the profile file's keys, as the user wrote them. Either way a secret shows as
    (changed) or (unchanged), never as a value, a masked value or a hash."""
    result = doc.get('result') or {}
    raw_steps = result.get('steps') or []
    steps = []
    before, after = {}, {}
    commands = []
    for raw in raw_steps:
        sent = bool(raw.get('would_change')) if check else raw.get('status') == 'done'
        step = _step_in_own_words(raw, sent, translate)
        steps.append(step)
        if not sent:
            continue
        commands.append(raw['command'])
        _merge(after, step.get('values') or {})
        if step.get('previous') is not None:
            _merge(before, step['previous'])
    record = result.get('record')
    profile = result.get('profile')
    out = dict(
        changed=bool(commands),
        commands=commands,
        steps=steps,
        printer=doc.get('printer'),
        state_known=result.get('state_known', False),
        link_after=result.get('link_after'),
        link_redirected=bool(result.get('link_redirected', False)),
        record=record,
        ignored=ignored_in_own_words(result.get('ignored', []), translate),
        notes=result.get('notes', []),
        diff=dict(before=before, after=after),
        error=own_error(doc, translate) if doc.get('error') else None,
    )
    # The profile file: its path when it is the user's (never its hash: it may hold
    # passwords); nothing when the module wrote it.
    if translate is not True and isinstance(profile, dict) and profile.get('path'):
        out['profile'] = dict(path=profile['path'])
    return out


def runnable(path):
    return os.path.isfile(path) and os.access(path, os.X_OK)


class PlenarCli(object):
    """Runs plenar for one module run."""

    def __init__(self, module, plenar_path=None, state_dir=None):
        self.module = module
        if plenar_path and not runnable(plenar_path):
            module.fail_json(msg='plenar_path: %s is not a program this user may run' % plenar_path)
        self.path = plenar_path or module.get_bin_path('plenar', required=True)
        self.state_dir = state_dir
        self.command_lines = []
        self._profiles = 0
        self._written = []

    def command_line(self, args, link=None):
        argv = [self.path, '--json']
        if self.state_dir:
            argv += ['--dir', self.state_dir]
        if link is not None:
            argv += link_arguments(link)
        return argv + list(args)

    def run(self, args, link=None):
        """The document of one run, failed or not; PlenarError when plenar printed none (or
        one that contradicts its exit code)."""
        argv = self.command_line(args, link)
        self.command_lines.append(argv)
        rc, out, err = self.module.run_command(argv, check_rc=False)
        return parse_document(rc, out, err)

    def run_ok(self, args, link=None):
        """The document of a run that must succeed; PlenarError with the document otherwise."""
        doc = self.run(args, link)
        if not doc.get('ok'):
            from ansible_collections.plenar.printer.plugins.module_utils.plenar_failures import (
                failure_message)
            raise PlenarError(failure_message(doc, link), doc['error']['kind'], doc=doc,
                              rc=doc.get('exit_code'))
        return doc

    def write_profile(self, sections):
        """A profile file in the module's private temporary folder (removed when the module
        ends); readable by its owner only, since it may hold passwords."""
        text = render_profile(sections)
        self._profiles += 1
        path = os.path.join(self.module.tmpdir, 'profile-%d.ini' % self._profiles)
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
        self._written.append(path)
        # Removed by the module when it exits, however it exits.
        self.module.add_cleanup_file(path)
        with os.fdopen(fd, 'w', encoding='utf-8') as f:
            f.write(text)
        return path

    def remove_profiles(self):
        """Removes the profiles written, at once rather than with the temporary folder (which
        a play may keep with keep_remote_files)."""
        for path in self._written:
            try:
                os.unlink(path)
            except OSError:
                pass
        self._written = []
