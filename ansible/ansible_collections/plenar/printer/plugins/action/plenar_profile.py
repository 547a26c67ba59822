# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

"""plenar_profile on the controller: runs the module as the normal action does. In the fleet
role it first checks the host's plenar_* variables and takes the module's options from them
(module_utils/plenar_role.py).

Both are done here, in the role's one task, for what they cost a thousand hosts: a task of its
own to check the variables costs the controller about a tenth of what the whole module run
does (and Ansible's own role argument check can neither refuse a misspelt variable nor require
one of two), and the seven Jinja expressions that would map the variables to the options cost
a hundredth of it.
"""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import os

from ansible.plugins.action import ActionBase
from ansible.utils.vars import merge_hash
from ansible_collections.plenar.printer.plugins.module_utils.plenar_role import (
    role_arguments, role_problems, role_words)

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

        args = self._task.args
        if self.in_fleet_role():
            problems = role_problems(task_vars)
            if problems:
                # Nothing has reached the host yet.
                result.update(failed=True, changed=False, role_variables=problems,
                              msg='plenar.printer.fleet: %s' % '; '.join(problems))
                return result
            args = dict(role_arguments(task_vars, self._templar.template), **args)

        result.pop('invocation', None)
        wrap_async = self._task.async_val and not self._connection.has_native_async
        result = merge_hash(result, self._execute_module(module_args=args, task_vars=task_vars,
                                                         wrap_async=wrap_async))
        if not wrap_async:
            self._remove_tmp_path(self._connection._shell.tmpdir)
        if args is not self._task.args and result.get('failed') and 'error' not in result:
            # The module refused the options it was given before running plenar.
            result['msg'] = role_words(result.get('msg', ''))
        return result
