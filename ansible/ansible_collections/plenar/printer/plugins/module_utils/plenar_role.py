# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

"""The fleet role's variables and the check of a host's, which plenar_profile's action makes
on the controller before the module runs (see plugins/action/plenar_profile.py).

It looks at the variables' names only, never their values (they may be vault passwords), so
it costs next to nothing; the module checks the values against its own argument spec.
"""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

# The fleet role's variables (roles/fleet/meta/argument_specs.yml describes them; a unit test
# keeps the two equal).
ROLE_VARIABLES = ('plenar_printers', 'plenar_profile', 'plenar_profile_src', 'plenar_force',
                  'plenar_state_dir', 'plenar_record_dir', 'plenar_path', 'plenar_environment')
# The other plenar_* variables of the collection an inventory may hold: the playbooks' and
# the role's registered result.
OTHER_VARIABLES = ('plenar_hosts', 'plenar_firmware_file', 'plenar_firmware_wait',
                   'plenar_fleet_result')
KNOWN = ROLE_VARIABLES + OTHER_VARIABLES

# plenar_profile's options and the role variable each comes from (plenar_environment is the
# task's environment).
ROLE_OPTIONS = (('printers', 'plenar_printers'), ('profile', 'plenar_profile'),
                ('src', 'plenar_profile_src'), ('force', 'plenar_force'),
                ('state_dir', 'plenar_state_dir'), ('record_dir', 'plenar_record_dir'),
                ('plenar_path', 'plenar_path'))


def _unset(task_vars, name):
    return task_vars.get(name) in (None, '', [], {})


def _near(name):
    # Only for a name that is wrong: the common case imports nothing more.
    import difflib
    near = difflib.get_close_matches(name, KNOWN, 1, 0.8)
    return ' (did you mean %s?)' % near[0] if near else ''


def role_problems(task_vars):
    """What is wrong with a host's fleet role variables, each naming the variable; [] when
    nothing is."""
    problems = []
    for name in sorted(n for n in task_vars if n.startswith('plenar_') and n not in KNOWN):
        problems.append('%s is not a variable of the role%s' % (name, _near(name)))
    if _unset(task_vars, 'plenar_printers'):
        problems.append('plenar_printers is not set: the printers of this host, each with '
                        'its link')
    if _unset(task_vars, 'plenar_profile') and _unset(task_vars, 'plenar_profile_src'):
        problems.append('plenar_profile is not set: the profile by settings group (or '
                        'plenar_profile_src, a profile file on the host)')
    return problems


def role_arguments(task_vars, template):
    """plenar_profile's options from a host's role variables, each value through `template`
    (the task's templar: a vault value or a template in it is resolved, plain data costs next
    to nothing). A variable left empty leaves its option out; src wins over the profile."""
    args = {}
    for option, name in ROLE_OPTIONS:
        value = task_vars.get(name)
        if value in (None, ''):
            continue
        value = template(value)
        if value not in (None, ''):
            args[option] = value
    if args.get('src'):
        args.pop('profile', None)
    return args


def role_words(msg):
    """A refusal of the module's options, as the role's user reads it: which role variable
    each option it names comes from."""
    import re
    # A printer's own profile (printers[till].profile) is in plenar_printers.
    named = ['%s is %s' % (option, name) for option, name in ROLE_OPTIONS
             if option != name and re.search(r"(?<![\w.])%s(?![\w])" % option, msg)]
    return '%s (in the fleet role: %s)' % (msg, ', '.join(named)) if named else msg
