# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

"""The profile options of plenar_profile, written once.

Each row names an option (its path under `profile`), the profile file key plenar reads, the
option's type and, where the file takes other words than the option, the pairs of the
option's value and the file's text. The argument spec, the profile file the module writes and
the way back (a step's keys and values in the task's own words) all come from this table; a
unit test holds the module's DOCUMENTATION to it.
"""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import os

# The printer's serial rates (cbb_BauRate); plenar refuses any other.
RATES = [1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400]

# What a secret shows as in a diff or a result: whether it changed, never its value.
CHANGED = '(changed)'
UNCHANGED = '(unchanged)'
# How plenar shows a password it was given.
MASKED = '********'

_BOOL_01 = ((True, '1'), (False, '0'))
_BOOL_ON = ((True, 'on'), (False, 'off'))


class Option(object):
    """One profile option: `path` under `profile` ('switches.font'), its profile file `key`,
    the argument spec's `type`, and `values`, pairs of the option's value and the text the
    file takes for it (their first items are the option's choices unless `choices` says
    otherwise). `group` is plenar's settings group where it is not the top-level option."""

    def __init__(self, path, key, type='str', values=None, choices=None, required=False,
                 default=None, secret=False, elements=None, section='ParaDefault', group=None):
        self.path = path
        # The settings group plenar sends it in (one button of the parameter window): by
        # default the top-level option's name as plenar spells it.
        self.plenar_group = group or self.group.replace('_', '-')
        self.key = key
        self.type = type
        self.values = values
        self.choices = choices
        if choices is None and values is not None and type != 'bool':
            self.choices = [v for v, text in values]
        self.required = required
        self.default = default
        self.secret = secret
        self.elements = elements
        self.section = section

    @property
    def name(self):
        return self.path.rsplit('.', 1)[-1]

    @property
    def group(self):
        """The top-level option it belongs to."""
        return self.path.split('.', 1)[0]

    def spec(self):
        spec = dict(type=self.type)
        for field in ('choices', 'default', 'elements'):
            if getattr(self, field) is not None:
                spec[field] = getattr(self, field)
        if self.required:
            spec['required'] = True
        if self.secret:
            spec['no_log'] = True
        elif 'password' in self.name:
            # A flag about the password, not one.
            spec['no_log'] = False
        return spec

    def to_file(self, value):
        """The profile file's text for the option's value."""
        if self.values is not None:
            for option_value, text in self.values:
                if option_value == value:
                    return text
            raise ValueError('%s: %r is not one of %s' % (
                self.path, value, ', '.join(str(v) for v, text in self.values)))
        return value if isinstance(value, str) else str(value)

    def from_file(self, text):
        """The option's value for the profile file's text (as plenar reports it); the text
        itself when it is none of the option's words (a profile file a person wrote)."""
        if not isinstance(text, str):
            return text
        if self.values is not None:
            for option_value, file_text in self.values:
                if file_text.lower() == text.lower():
                    return option_value
            return text
        if self.type == 'int':
            try:
                return int(text)
            except ValueError:
                return text
        return text


# The options in the order plenar's window and the profile file have them.
OPTIONS = [
    Option('baud', 'BaudRate', 'int', choices=RATES),
    Option('flow', 'Flowcontrol', values=(('software', 'soft'), ('hardware', 'hard'))),
    Option('codepage', 'CodePage'),
    Option('switches.font', 'FontValue', required=True,
           values=(('9x17', '9x17'), ('12x24', '12x24'), ('9x24', '9x24'), ('16x18', '16x18'))),
    Option('switches.density', 'Dark', required=True,
           values=(('light', '0'), ('normal', '1'), ('dark', '2'), ('extra-dark', '3'))),
    Option('switches.line_feed', 'ForcePaper', default='LF', values=(('LF', '0A'), ('CR', '0D'))),
    Option('switches.buzzer', 'buzzer', 'bool', required=True, values=_BOOL_01),
    Option('switches.cutter', 'CutPaper', 'bool', required=True, values=_BOOL_01),
    Option('times.sleep', 'sleepTime', 'int', required=True),
    Option('times.power_off', 'poweroffTime', 'int', required=True),
    Option('bluetooth.name', 'BlueToolthName', default=''),
    Option('bluetooth.dual_name', 'MulBlueToolthName', default=''),
    Option('bluetooth.password', 'BlueToolthPsw', default='', secret=True),
    Option('bluetooth.model', 'BlueToolthType', 'int', default=1),
    Option('bluetooth.mode', 'BlueToolthMode', required=True,
           values=(('none', '0'), ('single', '1'), ('dual', '2'))),
    # Item 0 of the window's list asks for the password.
    Option('bluetooth.password_check', 'BlueToolthCheck', 'bool', required=True,
           values=((True, '0'), (False, '1'))),
    Option('bt_workmode', 'BlueToolthWorkMode',
           values=(('high-speed', 'high'), ('normal', 'normal'))),
    Option('bt_hide', 'BluetoothSEEK', 'bool', values=_BOOL_ON),
    Option('wifi_ap.name', 'NetworkName', required=True),
    Option('wifi_ap.password', 'NetworkPsw', default='', secret=True),
    Option('wifi_sta.ssid', 'SSID', required=True),
    Option('wifi_sta.password', 'StaModePsw', default='', secret=True),
    Option('wifi_sta.addressing', 'IpType', default='dhcp',
           values=(('dhcp', 'dhcp'), ('static', 'static'))),
    Option('wifi_sta.ip', 'IPaddress'),
    Option('wifi_sta.mask', 'Maskaddress'),
    Option('wifi_sta.gateway', 'Gatewayaddress'),
    Option('wifi_sta.port', 'Port', 'int', required=True),
    Option('ethernet.ip', 'NetIPAddress', group='net-ip'),
    Option('ethernet.mask', 'Subnetmask', group='net-mask'),
    Option('ethernet.gateway', 'gatewayt', group='net-gateway'),
    Option('ethernet.mac', 'MAC', group='net-mac'),
    Option('ethernet.port', 'Netport', 'int', group='net-port'),
    Option('ethernet.enabled', 'Ethernet', 'bool', values=_BOOL_01, group='ethernet'),
    Option('infrared.enabled', 'InfraredType', 'bool', required=True, values=_BOOL_ON),
    Option('infrared.baud', 'InfraredBaurate', 'int', default=9600,
           choices=[9600, 19200, 38400, 57600, 115200]),
    Option('infrared.protocol', 'irdaProtecl', default='raw',
           values=(('raw', 'raw'), ('irda', 'irda'))),
    Option('black_mark.enabled', 'BlackMark', 'bool', values=_BOOL_01, group='black-mark'),
    Option('black_mark.distance', 'Blacklookdistance', 'int', group='black-mark-distance'),
    Option('black_mark.width', 'Blackwidth', 'int', group='black-mark-width'),
    Option('cutter_feed', 'Cutteroptocoupler', 'int'),
    Option('usb_type', 'UsbDeviceTpe',
           values=(('virtual-serial', 'vcom'), ('printer', 'printer'))),
    Option('paper_type', 'PaperType', values=(('receipt', 'receipt'), ('label', 'label'))),
    Option('print_order', 'PrinterOrder', values=(('normal', 'normal'), ('reverse', 'reverse'))),
    Option('retract_time', 'RptTime', 'int'),
    Option('paper_size', 'PaperSizeType', 'int', choices=[2, 3, 4]),
    Option('files.font', 'Font', 'path', section='Files', group='font'),
    Option('files.font_address', 'FontAddress', section='Files', group='font'),
    # Logo1, Logo2, ... one per image.
    Option('files.logos', 'Logo', 'list', elements='path', section='Files', group='logos'),
    Option('files.logo_raw', 'LogoRaw', 'bool', default=False, values=_BOOL_01, section='Files',
           group='logos'),
]

# What a dictionary option checks across its suboptions.
GROUP_RULES = {
    'wifi_sta': dict(required_if=[('addressing', 'static', ('ip', 'mask', 'gateway'))]),
}
PROFILE_RULES = dict(mutually_exclusive=[('wifi_ap', 'wifi_sta')])

# The keys plenar reports that no profile option writes, and the task's option for each: the
# device name and serial number (plenar_profile's `device`) and the firmware file
# (plenar_firmware's `file` and `wait`). The device keys are always the task's, also beside a
# src file: plenar takes them from `device`, never from the file.
OTHER_KEYS = {
    'DeviceName': 'device.name',
    'DeviceSerialNo': 'device.serial_no',
    'Firmware': 'file',
    'FirmwareWait': 'wait',
}
DEVICE_KEYS = ('DeviceName', 'DeviceSerialNo')

BY_KEY = dict((o.key.lower(), o) for o in OPTIONS)


def _group_words():
    """plenar's settings group names and the task's name of each: the top-level option when
    the group sets all of it (`switches`, `wifi_ap`), else the option it sets (`ethernet.ip`,
    `files.font`)."""
    # The plenar groups each top-level option's keys go to.
    spread = {}
    for option in OPTIONS:
        spread.setdefault(option.group, set()).add(option.plenar_group)
    words = {'device': 'device', 'firmware': 'firmware'}
    for option in OPTIONS:
        if option.plenar_group not in words:
            whole = len(spread[option.group]) == 1
            words[option.plenar_group] = option.group if whole else option.path
    return words


GROUP_WORDS = _group_words()


def group_word(name):
    """The task's name of one of plenar's settings groups (`net-ip` is `ethernet.ip`)."""
    return GROUP_WORDS.get(name, name)


def option_for_key(key):
    """The option a profile file key comes from (Logo3 from files.logos), None for a key no
    option writes."""
    lowered = key.lower()
    if lowered.startswith('logo') and lowered[4:].isdigit():
        lowered = 'logo'
    return BY_KEY.get(lowered)


def option_path(key):
    """The option path of a profile file key as a task names it (`profile.bluetooth.mode`), or
    the key when no option writes it."""
    option = option_for_key(key)
    if option is not None:
        return 'profile.' + option.path
    return OTHER_KEYS.get(key, key)


def profile_spec():
    """The argument spec of the `profile` option's suboptions (a fresh copy each call)."""
    spec = {}
    for option in OPTIONS:
        if '.' not in option.path:
            spec[option.path] = option.spec()
            continue
        group, name = option.path.split('.', 1)
        if group not in spec:
            spec[group] = dict(type='dict', options={})
            spec[group].update(GROUP_RULES.get(group, {}))
        spec[group]['options'][name] = option.spec()
    return spec


def _lookup(profile, path):
    here = profile
    for part in path.split('.'):
        if not isinstance(here, dict):
            return None
        here = here.get(part)
    return here


def profile_sections(profile):
    """The profile file's sections, [(section, [(key, text), ...])], for a `profile` value
    (with the argument spec's defaults filled in)."""
    sections = dict(ParaDefault=[], Files=[])
    # Settings first in the table's order, then the files; scalar options before the groups,
    # as the module always wrote them.
    ordered = [o for o in OPTIONS if '.' not in o.path] + [o for o in OPTIONS if '.' in o.path]
    for option in ordered:
        value = _lookup(profile, option.path)
        if value is None:
            continue
        entries = sections[option.section]
        if option.path == 'files.logos':
            for number, logo in enumerate(value, 1):
                entries.append(('Logo%d' % number, os.path.abspath(logo)))
        elif option.path == 'files.logo_raw':
            if _lookup(profile, 'files.logos'):
                entries.append((option.key, option.to_file(value)))
        elif option.type == 'path':
            entries.append((option.key, os.path.abspath(value)))
        else:
            entries.append((option.key, option.to_file(value)))
    return [('ParaDefault', sections['ParaDefault']), ('Files', sections['Files'])]


def merge_profiles(base, over):
    """`over` merged over `base`: a settings group given in `over` replaces the group of
    `base` key by key; a value None in `over` (left out) keeps the one of `base`."""
    out = dict(base or {})
    for name, value in (over or {}).items():
        if value is None:
            continue
        if isinstance(value, dict) and isinstance(out.get(name), dict):
            merged = dict(out[name])
            merged.update((k, v) for k, v in value.items() if v is not None)
            out[name] = merged
        else:
            out[name] = value
    return out


def is_secret_key(key):
    option = option_for_key(key)
    return option is not None and option.secret


def speaks_for(key, translate):
    """Whether a result names profile file key `key` by the task's option. `translate` is
    True when the module wrote the whole profile file from the task's options; with a src
    file, the keys the task set over it (a collection of them, or nothing): the file's own keys
    keep the user's names. The device's keys always come from the task."""
    return translate is True or key in DEVICE_KEYS or key in (translate or ())


def in_own_words(values, translate=True, secret=None):
    """A step's values ({profile file key: text}) as a nested dictionary of the task's
    options ({'bluetooth': {'mode': 'single'}}). A secret is left out (see secret_paths), or
    with `secret` given shows as that when it is set. With `translate` false (a profile file
    the user wrote), the file's keys are kept, but for the device's, which the task gives."""
    out = {}
    for key, text in (values or {}).items():
        option = option_for_key(key)
        if option is not None and option.secret:
            if secret is None:
                continue
            text = secret if text else ''
        if not speaks_for(key, translate):
            out[key] = text
            continue
        if option is None:
            path = OTHER_KEYS.get(key, key)
            value = text
        elif option.path == 'files.logos':
            here = out.setdefault('files', {}).setdefault('logos', [])
            here.append(text)
            continue
        else:
            path = option.path
            value = option.from_file(text)
        parts = path.split('.')
        here = out
        for part in parts[:-1]:
            here = here.setdefault(part, {})
        here[parts[-1]] = value
    return out


def _place(out, path, value):
    parts = path.split('.')
    here = out
    for part in parts[:-1]:
        here = here.setdefault(part, {})
    here[parts[-1]] = value


def secret_paths(values, translate=True):
    """The secrets a step's values hold, as (key, the name the diff shows) pairs."""
    found = []
    for key in values or {}:
        option = option_for_key(key)
        if option is not None and option.secret:
            found.append((key, option.path if speaks_for(key, translate) else key))
    return found


def place_secret(out, path, marker):
    _place(out, path, marker)


def command_line_settings(profile):
    """The [ParaDefault] values of a `profile` value as [(key, text), ...], for plenar's
    `apply --set KEY=VALUE` over a profile file. ValueError, naming the option, for what the
    command line must not or cannot carry: a settings group holding a password (an argument
    list is readable by every user of the host), the files, a line break."""
    for option in OPTIONS:
        if option.secret and _lookup(profile, option.group) is not None:
            raise ValueError(
                '%s: holds a password (%s), which never goes on plenar\'s command line; give '
                'this group in the profile file, or use the task\'s profile instead of src'
                % (option.group, option.path))
    sections = dict(profile_sections(profile))
    if sections['Files']:
        raise ValueError('files: give the files in the profile file, or use the task\'s '
                         'profile instead of src')
    for key, text in sections['ParaDefault']:
        if any(c in text for c in '\r\n\x00'):
            raise ValueError('%s: a value cannot hold a line break' % option_for_key(key).path)
    return sections['ParaDefault']


def record_in_own_words(record):
    """An apply record as plenar_info returns it: each group under the task's name for it,
    its values in the task's words, a password as MASKED when one is set (never a value)."""
    out = dict(record)
    groups = record.get('groups')
    if isinstance(groups, dict):
        out['groups'] = {}
        for name, group in groups.items():
            if isinstance(group, dict) and isinstance(group.get('values'), dict):
                group = dict(group, values=in_own_words(group['values'], secret=MASKED))
            out['groups'][group_word(name)] = group
    return out
