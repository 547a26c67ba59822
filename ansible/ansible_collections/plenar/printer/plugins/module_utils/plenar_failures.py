# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

"""What a failed plenar run means for the person running the playbook: where it lies, in the
task's words, and what to do about it (error.kind and the link).

Only a run that failed, or that ignored a key, needs this: the modules import it then, so that
the run of every host that went well compiles less (a module's files are compiled afresh on
each host).
"""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import re

from ansible_collections.plenar.printer.plugins.module_utils.plenar_cli import (
    describe_link, link_kind)
from ansible_collections.plenar.printer.plugins.module_utils.plenar_options import (
    DEVICE_KEYS, GROUP_WORDS, OTHER_KEYS, group_word, option_for_key, speaks_for)

# The group a user needs on each link (the README of the collection explains them).
LINK_GROUPS = {
    'serial': 'dialout',
    'usb': 'plenar',
    'lpt': 'lp',
}

# What each error.kind means for the person running the playbook.
ERROR_HINTS = {
    'link': 'the printer did not answer; check the cable, that it is switched on, and the '
            'rate (device_baud)',
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

# The hint of a printer that did not answer, by link kind.
LINK_HINTS = {
    'net': 'the printer did not answer; check that it is switched on and on the network, '
           'and its address and port',
    'usb': 'the printer did not answer; check that it is plugged in and switched on '
           '(plenar_info lists the USB printers)',
    'lpt': 'the printer did not answer; check the cable and that it is switched on and '
           'online',
}

# The option a failure of one of these groups concerns, whatever the profile came from.
GROUP_FIELDS = {'device': 'device', 'firmware': 'file'}

# plenar names a refused device name or serial number by its command line option; the task
# gives them as `device`.
DEVICE_WORDS = (('--device NAME', 'device.name'), ('--device SERIAL', 'device.serial_no'))

# A device that is not there at all, whatever the link.
MISSING_HINT = 'there is no such port on this host (plenar_info lists the ports it has)'


def task_field(field, translate=True):
    """The task's name of what plenar's error.field names: the option path of a profile key
    (`profile.bluetooth.mode`) or a settings group (`profile.ethernet.ip`), the device's or the
    firmware's option. A key of a profile file the user wrote keeps plenar's name (see
    speaks_for)."""
    if not field:
        return field
    if speaks_for(field, translate):
        option = option_for_key(field)
        if option is not None:
            return 'profile.' + option.path
        if field in OTHER_KEYS:
            return OTHER_KEYS[field]
    if field in GROUP_FIELDS:
        return GROUP_FIELDS[field]
    if field in GROUP_WORDS:
        return ('profile.' if translate is True else '') + group_word(field)
    return field


def _device_word(message):
    for option, word in DEVICE_WORDS:
        if (message or '').startswith('--device: %s: ' % option):
            return option, word
    return '--device', 'device'


def error_field(doc, translate=True):
    """Where a failure lies, as the task names it (see task_field), '' when plenar named
    none."""
    error = doc.get('error') or {}
    if error.get('field') == '--device':
        return _device_word(error.get('message'))[1]
    return task_field(error.get('field') or '', translate)


def own_message(error, translate=True):
    """plenar's message of a failure, without the place in the profile file the module wrote
    (plenar begins a refusal with "line N: KEY: ") or the command line option of the device,
    which the option path replaces. A key of the user's own file keeps its place."""
    message = error.get('message') or 'plenar failed'
    field = error.get('field')
    if field == '--device':
        option = _device_word(message)[0]
        return re.sub(r'^--device: (%s: )?' % re.escape(option), '', message)
    if field and task_field(field, translate) != field:
        message = re.sub(r'^(line \d+: )?%s: ' % re.escape(field), '', message)
    return message


def own_error(doc, translate=True):
    """The document's error as the module returns it: the field as the task names it, and the
    message and the line no longer pointing into the module's own file."""
    error = dict(doc.get('error') or {})
    if error:
        field = error.get('field')
        error['message'] = own_message(error, translate)
        error['field'] = error_field(doc, translate)
        if field and error['field'] != field:
            error.pop('line', None)
    return error or None


def link_hint(kind, detail, link):
    """What to do about a failure of `kind` on `link`, given the system's reason."""
    lkind = link_kind(link) if link is not None else None
    if kind in ('link', 'file', 'permission') and lkind in ('serial', 'usb', 'lpt') and \
            'No such file or directory' in (detail or ''):
        return MISSING_HINT
    if kind == 'link' and lkind in LINK_HINTS:
        return LINK_HINTS[lkind]
    hint = ERROR_HINTS.get(kind)
    if kind == 'permission' and lkind in LINK_GROUPS:
        group = LINK_GROUPS[lkind]
        hint += ': add the user to the %s group (usermod -aG %s USER) and log in again' % (
            group, group)
    return hint


def failure_message(doc, link=None, translate=True):
    """A person's message for a failed document: what plenar said, the system's reason, where,
    and what to do about it. With `translate` (the module wrote the profile file) the place is
    the option path; otherwise the key and line of the user's file."""
    error = doc.get('error') or {}
    kind = error.get('kind', 'printer')
    parts = [own_message(error, translate)]
    where = error_field(doc, translate)
    own_place = where and where == error.get('field')
    if own_place and re.match(r'^(line \d+: )?%s: ' % re.escape(where), parts[0]):
        where = ''  # plenar's message begins with the place in the user's file already
    if where:
        if error.get('line') and own_place:
            where = 'line %d, %s' % (error['line'], where)
        parts[0] = '%s (%s)' % (parts[0], where)
    if error.get('detail'):
        parts.append(error['detail'])
    hint = link_hint(kind, error.get('detail'), link)
    if hint:
        parts.append(hint)
    prefix = describe_link(link) + ': ' if link is not None and link_kind(link) else ''
    return prefix + '; '.join(parts)


def ignored_in_own_words(entry, translate):
    """A profile key that sets nothing, named as the task names it (without the line of the
    module's own file). A device key can only come from the user's file (the task's `device`
    is never ignored): it keeps the file's name, and the reason names the task's option."""
    key = entry.get('key') if isinstance(entry, dict) else None
    if not key:
        return entry
    out = dict(entry)
    reason = out.get('reason')
    if isinstance(reason, str) and '--device NAME SERIAL' in reason:
        out['reason'] = reason.replace('--device NAME SERIAL',
                                       "the task's device (name and serial_no)")
    if key in DEVICE_KEYS or not speaks_for(key, translate):
        return out
    option = option_for_key(key)
    out['key'] = option.path if option is not None else OTHER_KEYS.get(key, key)
    out.pop('line', None)
    return out
