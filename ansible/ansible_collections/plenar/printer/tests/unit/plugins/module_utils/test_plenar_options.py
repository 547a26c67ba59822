# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import pytest

from ansible_collections.plenar.printer.plugins.module_utils import plenar_options


@pytest.mark.parametrize('profile, settings', [
    (None, []),
    ({}, []),
    ({'paper_type': 'label'}, [('PaperType', 'label')]),
    # The option's words become the file's; a group gives all of its keys, defaults included.
    ({'switches': {'font': '12x24', 'density': 'dark', 'line_feed': 'LF', 'buzzer': False,
                   'cutter': True}, 'flow': 'hardware'},
     [('Flowcontrol', 'hard'), ('FontValue', '12x24'), ('Dark', '2'), ('ForcePaper', '0A'),
      ('buzzer', '0'), ('CutPaper', '1')]),
    ({'ethernet': {'ip': '10.0.0.9', 'port': 9100, 'enabled': True}, 'times': None},
     [('NetIPAddress', '10.0.0.9'), ('Netport', '9100'), ('Ethernet', '1')]),
])
def test_command_line_settings(profile, settings):
    assert plenar_options.command_line_settings(profile) == settings


@pytest.mark.parametrize('profile, problem', [
    # A group holding a password is refused whether the password is given or left empty: an
    # empty one would still be a password on the command line, and would clear the file's.
    ({'bluetooth': {'name': 'till', 'password': 'Secr3t', 'mode': 'single',
                    'password_check': True}}, 'bluetooth: holds a password (bluetooth.password)'),
    ({'bluetooth': {'name': 'till', 'password': '', 'mode': 'single', 'password_check': True}},
     'bluetooth: holds a password'),
    ({'wifi_ap': {'name': 'shop', 'password': 'Secr3t'}}, 'wifi_ap: holds a password'),
    ({'wifi_sta': {'ssid': 'office', 'password': '', 'port': 9100}}, 'wifi_sta: holds a password'),
    ({'files': {'logos': ['/srv/a.bmp'], 'logo_raw': False}}, 'files: give the files'),
    ({'codepage': 'CP850\n[Files]'}, 'codepage: a value cannot hold a line break'),
])
def test_command_line_settings_refuses_what_the_command_line_must_not_carry(profile, problem):
    with pytest.raises(ValueError) as e:
        plenar_options.command_line_settings(profile)
    assert problem in str(e.value)
    assert 'Secr3t' not in str(e.value)
