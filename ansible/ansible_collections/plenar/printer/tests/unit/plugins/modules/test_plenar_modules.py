# SPDX-License-Identifier: GPL-3.0-or-later
# -*- coding: utf-8 -*-
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)
# SPDX-License-Identifier: GPL-3.0-or-later

"""The modules against the cases of test_plenar_modules.yaml (see plenar_cases.py)."""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import pytest

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
    assert found == {
        'profile.bluetooth.password': True,
        'profile.bluetooth.password_check': False,
        'profile.wifi_ap.password': True,
        'profile.wifi_sta.password': True,
    }


def test_profile_options_cover_every_key_the_table_writes():
    """Every profile option has a key in the mapping, and the other way round."""
    spec = plenar_profile.profile_spec()
    mapped = set(option for option, key, convert in plenar_profile.SCALAR_KEYS)
    mapped |= set(option for option, keys in plenar_profile.GROUP_KEYS)
    assert mapped | {'files'} == set(spec)
    for option, keys in plenar_profile.GROUP_KEYS:
        assert set(sub for sub, key, convert in keys) == set(spec[option]['options']), option
