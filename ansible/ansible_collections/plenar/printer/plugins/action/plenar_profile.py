# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

"""plenar_profile on the controller: runs the module as the normal action does, and in the
fleet role first checks the host's plenar_* variables (module_utils/plenar_role.py).

The role's check is made here, in its one task, rather than in a task of its own: a second
task per host costs the controller about a tenth of what the whole module run does, and
Ansible's own role argument check can neither refuse a misspelt variable nor require one of
two.
"""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import os

from ansible.plugins.action import ActionBase
from ansible.utils.vars import merge_hash
from ansible_collections.plenar.printer.plugins.module_utils.plenar_role import role_problems

ROLE_PATH = os.path.realpath(os.path.join(
    os.path.dirname(os.path.abspath(__file__)), '..', '..', 'roles', 'fleet'))


class ActionModule(ActionBase):

    def in_fleet_role(self):
        role = getattr(self._task, '_role', None)
        path = getattr(role, '_role_path', None)
        return bool(path) and os.path.realpath(path) == ROLE_PATH

    def run(self, tmp=None, task_vars=None):
        self._supports_check_mode = True
        self._supports_async = True
        task_vars = task_vars or {}
        result = super(ActionModule, self).run(tmp, task_vars)
        del tmp  # tmp no longer has any effect
        if result.get('skipped'):
            return result

        if self.in_fleet_role():
            problems = role_problems(task_vars)
            if problems:
                # Nothing has reached the host yet.
                result.update(failed=True, changed=False, role_variables=problems,
                              msg='plenar.printer.fleet: %s' % '; '.join(problems))
                return result

        result.pop('invocation', None)
        wrap_async = self._task.async_val and not self._connection.has_native_async
        result = merge_hash(result, self._execute_module(task_vars=task_vars,
                                                         wrap_async=wrap_async))
        if not wrap_async:
            self._remove_tmp_path(self._connection._shell.tmpdir)
        return result
