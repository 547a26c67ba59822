# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

"""The modules against the cases of test_plenar_modules.yaml (see plenar_cases.py)."""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import pytest
import yaml

from ansible_collections.plenar.printer.plugins.module_utils import plenar_options
from ansible_collections.plenar.printer.plugins.modules import (
    plenar_firmware, plenar_info, plenar_profile)

from .plenar_cases import load_cases, run_case

MODULES = {
    'plenar_profile': plenar_profile,
    'plenar_firmware': plenar_firmware,
    'plenar_info': plenar_info,
}

CASES = load_cases(__file__)


@pytest.mark.parametrize('case', CASES, ids=[c['id'] for c in CASES])
def test_module(case, tmp_path, capsys, monkeypatch):
    for name, text in (case.get('records') or {}).items():
        (tmp_path / name).write_text(text)
    if case.get('firmware_tag'):
        program = bytearray(b'\xff' * 0x3100)
        program[0x3000:0x3000 + len(case['firmware_tag'])] = case['firmware_tag'].encode()
        (tmp_path / 'fw.bin').write_bytes(bytes(program))
    run_case(MODULES[case['module']].main, case, tmp_path, capsys, monkeypatch)


def test_every_secret_option_is_no_log():
    """Each option that carries a password is kept out of logs and results."""
    def walk(spec, path):
        for name, option in spec.items():
            if 'password' in name or name == 'psk':
                yield path + name, option.get('no_log')
            if option.get('options'):
                for found in walk(option['options'], path + name + '.'):
                    yield found

    found = dict(walk(plenar_profile.argument_spec(), ''))
    expected = {}
    for where in ('profile.', 'printers.profile.'):
        expected.update({
            where + 'bluetooth.password': True,
            where + 'bluetooth.password_check': False,
            where + 'wifi_ap.password': True,
            where + 'wifi_sta.password': True,
        })
    assert found == expected


def documented(options):
    """The argument spec a DOCUMENTATION options block describes."""
    spec = {}
    for name, doc in options.items():
        entry = dict(type=doc.get('type', 'str'))
        for field in ('choices', 'default', 'elements'):
            if field in doc:
                entry[field] = doc[field]
        if doc.get('required'):
            entry['required'] = True
        if 'suboptions' in doc:
            entry['options'] = documented(doc['suboptions'])
        spec[name] = entry
    return spec


def specified(spec):
    """The same fields of an argument spec."""
    out = {}
    for name, option in spec.items():
        entry = dict((k, v) for k, v in option.items()
                     if k in ('type', 'choices', 'default', 'elements', 'required'))
        if 'options' in option:
            entry['options'] = specified(option['options'])
        out[name] = entry
    return out


@pytest.mark.parametrize('where', [('profile',), ('printers', 'profile')])
def test_documentation_describes_the_option_table(where):
    """DOCUMENTATION's profile options are the table's: names, types, choices, defaults."""
    doc = yaml.safe_load(plenar_profile.DOCUMENTATION)['options']
    for name in where[:-1]:
        doc = doc[name]['suboptions']
    assert documented(doc[where[-1]]['suboptions']) == specified(plenar_options.profile_spec())
    for name, option in doc[where[-1]]['suboptions'].items():
        assert option.get('description'), name


@pytest.mark.parametrize('option', [o for o in plenar_options.OPTIONS if o.values],
                         ids=lambda o: o.path)
def test_every_value_reads_back_as_the_task_wrote_it(option):
    """A diff shows what the task wrote: each value survives the profile file and back,
    whatever case plenar reports the file's text in."""
    for value, text in option.values:
        assert option.to_file(value) == text
        assert option.from_file(text) == value
        assert option.from_file(text.upper()) == value
    with pytest.raises(ValueError, match=option.path):
        option.to_file('no such value')
