# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

"""The fleet role's check of a host's variables, which plenar_profile's action makes."""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import os

import pytest
import yaml

from ansible_collections.plenar.printer.plugins.module_utils import plenar_role

# The collection: tests/unit/plugins/module_utils/ is four folders down.
ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..', '..', '..'))

ROLE = dict(plenar_printers=[{'net': '10.0.0.5'}], plenar_profile={'codepage': 'CP850'},
            plenar_profile_src='', plenar_force=False, plenar_state_dir='',
            plenar_record_dir='', plenar_path='', plenar_environment={})


def host(**changes):
    out = dict(ROLE, inventory_hostname='shop-0001', ansible_connection='local')
    for name, value in changes.items():
        if value is None:
            out.pop(name, None)
        else:
            out[name] = value
    return out


@pytest.mark.parametrize('task_vars, problems', [
    (host(), []),
    (host(plenar_profile=None, plenar_profile_src='/etc/plenar/shop.ini'), []),
    # The collection's other variables beside the role's.
    (host(plenar_firmware_file='/srv/fw.prg', plenar_hosts='shops',
          plenar_fleet_result={'changed': False}), []),
    # The case: a misspelt profile in group_vars, and the role's default left.
    (host(plenar_profile=None, plenar_profil={'codepage': 'CP850'}),
     ['plenar_profil is not a variable of the role (did you mean plenar_profile?)',
      'plenar_profile is not set']),
    (host(plenar_printer=[{'net': '10.0.0.5'}], plenar_printers=None),
     ['plenar_printer is not a variable of the role (did you mean plenar_printers?)',
      'plenar_printers is not set']),
    (host(plenar_printers=[]), ['plenar_printers is not set']),
    (host(plenar_profile={}), ['plenar_profile is not set']),
    (host(plenar_colour='red'), ['plenar_colour is not a variable of the role']),
])
def test_role_variables(task_vars, problems):
    found = plenar_role.role_problems(task_vars)
    assert len(found) == len(problems), found
    for text, problem in zip(found, problems):
        assert text == problem or text.startswith(problem + ':'), text


def test_a_problem_names_variables_never_values():
    found = plenar_role.role_problems(host(plenar_profil={'bluetooth': {'password': 'S3cret'}},
                                      plenar_profile=None))
    assert found and 'S3cret' not in ' '.join(found)


def test_the_action_knows_the_variables_the_role_describes():
    spec = os.path.join(ROOT, 'roles', 'fleet', 'meta', 'argument_specs.yml')
    with open(spec, encoding='utf-8') as f:
        entries = yaml.safe_load(f)['argument_specs']
    # No entry point main: Ansible would add a task per host to check the variables again.
    assert 'main' not in entries
    (entry,) = entries.values()
    assert sorted(entry['options']) == sorted(plenar_role.ROLE_VARIABLES)
    assert not set(plenar_role.OTHER_VARIABLES) & set(plenar_role.ROLE_VARIABLES)


@pytest.mark.parametrize('msg, words', [
    ("argument 'force' is of type <class 'str'> and we were unable to convert to bool",
     "(in the fleet role: force is plenar_force)"),
    ("missing required arguments: font found in profile -> switches",
     "(in the fleet role: profile is plenar_profile)"),
    # A printer's own profile is part of plenar_printers.
    ("printers[till].profile: sets nothing", "(in the fleet role: printers is plenar_printers)"),
    ("plenar_path: /opt/plenar is not a program this user may run", None),
    # An option's name inside another word is not it.
    ("the record_dirs are full", None),
])
def test_a_refused_option_names_the_role_variable(msg, words):
    out = plenar_role.role_words(msg)
    assert out == (msg if words is None else '%s %s' % (msg, words))


def test_role_arguments_leave_out_what_is_empty_and_src_wins():
    def template(value):
        return '' if value == '{{ empty }}' else value
    args = plenar_role.role_arguments(host(plenar_profile_src='/etc/plenar/shop.ini',
                                           plenar_state_dir='{{ empty }}',
                                           plenar_force=True), template)
    assert args == {'printers': ROLE['plenar_printers'], 'src': '/etc/plenar/shop.ini',
                    'force': True}
