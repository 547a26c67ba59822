# SPDX-License-Identifier: GPL-3.0-or-later
# -*- coding: utf-8 -*-
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)
# SPDX-License-Identifier: GPL-3.0-or-later

"""The one place that runs `plenar --json` and reads its result document.

Every module goes through PlenarCli: it builds the command line from the link options, runs
plenar with the module's run_command, parses the one JSON document plenar prints on stdout
(docs/plenar-result.schema.json in the plenar sources) and turns a failed document into a
module failure whose message says what to do about it (error.kind).
"""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import json
import os

LINK_KINDS = ('serial', 'net', 'usb', 'lpt')

# The printer's serial rates (cbb_BauRate); plenar refuses any other.
RATES = [1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400]

# plenar's exit codes; anything else means it did not finish on its own.
EXIT_CODES = (0, 1, 2, 64, 65, 130, 143)

# The group a user needs on each link (the README of the collection explains them).
LINK_GROUPS = {
    'serial': 'dialout',
    'usb': 'plenar',
    'lpt': 'lp',
}

# What each error.kind means for the person running the playbook.
ERROR_HINTS = {
    'link': 'the printer did not answer; check the cable or address, that it is switched on, '
            'and the rate (device_baud)',
    'printer': 'the printer answered wrongly or stopped answering part-way; the steps done '
               'are in the record, a rerun sends only the rest',
    'refused': 'refused before anything was sent',
    'usage': 'plenar did not accept the command line this module built; this is a fault '
             'of the module or a plenar too old for it (plenar_path)',
    'busy': 'another program holds the port (the till software?); close it or run again '
            'when it is free',
    'permission': 'this user may not open the port',
    'file': 'a file could not be read or written',
}


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


def _file_safe(text):
    # As plenar names records: ASCII letters, digits, '.', '_' kept, any other byte '-'.
    out = ''.join(chr(b) if (chr(b).isalnum() and b < 128) or b in (0x2E, 0x5F) else '-'
                  for b in bytearray(text.encode('utf-8')))
    return out.lstrip('-')


def record_file_name(link):
    """The file name plenar gives the record of a link (apply/<kind>-<port>.json)."""
    kind = link_kind(link)
    if kind == 'net':
        address, sep, port = str(link['net']).rpartition(':')
        if not sep:
            address, port = port, '5100'
        return 'net-%s-%s.json' % (_file_safe(address), port)
    if kind == 'lpt':
        return 'lpt-%d.json' % int(link['lpt'])
    return '%s-%s.json' % (kind, _file_safe(str(link[kind])))


def same_port(record_link, link):
    """Whether a record's link (as plenar writes it) is the port `link` names."""
    kind = link_kind(link)
    if not record_link or record_link.get('kind') != kind:
        return False
    if kind == 'net':
        address, sep, port = str(link['net']).rpartition(':')
        if not sep:
            address, port = port, '5100'
        return record_link.get('address') == address and str(record_link.get('port')) == port
    if kind == 'lpt':
        return record_link.get('number') == int(link['lpt'])
    if kind == 'usb':
        return record_link.get('device') == link['usb']
    return record_link.get('port') == link['serial']


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


def failure_message(doc, link=None):
    """A person's message for a failed document: what plenar said, the system's reason, where,
    and what to do about it."""
    error = doc.get('error') or {}
    kind = error.get('kind', 'printer')
    parts = [error.get('message') or 'plenar failed']
    if error.get('field'):
        where = error['field']
        if error.get('line'):
            where = 'line %d, %s' % (error['line'], where)
        parts[0] = '%s (%s)' % (parts[0], where)
    if error.get('detail'):
        parts.append(error['detail'])
    hint = ERROR_HINTS.get(kind)
    if kind == 'permission' and link is not None:
        group = LINK_GROUPS.get(link_kind(link))
        if group:
            hint += ': add the user to the %s group (usermod -aG %s USER) and log in again' % (
                group, group)
    if hint:
        parts.append(hint)
    prefix = describe_link(link) + ': ' if link is not None and link_kind(link) else ''
    return prefix + '; '.join(parts)


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


def apply_arguments(profile_path, check=False, force=False, device=None, record=None):
    args = ['apply', profile_path]
    if device:
        args += ['--device', device['name'], device['serial_no']]
    if record:
        args += ['--record', record]
    if force:
        args.append('--force')
    if check:
        args.append('--check')
    return args


def summarize_apply(doc, check):
    """What a module returns for one apply (or apply --check) document."""
    result = doc.get('result') or {}
    steps = result.get('steps') or []
    if check:
        touched = [s for s in steps if s.get('would_change')]
    else:
        touched = [s for s in steps if s.get('status') == 'done']
    before, after = {}, {}
    for s in touched:
        after[s['group']] = s.get('values') or {}
        if s.get('previous') is not None:
            before[s['group']] = s['previous']
    out = dict(
        changed=bool(touched),
        commands=[s['command'] for s in touched],
        steps=steps,
        printer=doc.get('printer'),
        state_known=result.get('state_known', False),
        link_after=result.get('link_after'),
        record=result.get('record'),
        profile=result.get('profile'),
        ignored=result.get('ignored', []),
        notes=result.get('notes', []),
        diff=dict(before=before, after=after),
        error=doc.get('error'),
    )
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

    def record_path(self, record_dir, link):
        if not record_dir:
            return None
        return os.path.join(record_dir, record_file_name(link))
