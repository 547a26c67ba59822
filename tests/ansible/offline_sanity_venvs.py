#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prepares the virtual environments `ansible-test sanity --local` runs its tests in, for a
machine without PyPI.

ansible-test runs each sanity test in a virtual environment of its own under
~/.ansible/test/venv/<label>/<python>/<hash>/, and installs the test's pinned requirements
there with pip when the folder has no marker.txt yet. This machine reaches only Debian's
archive, so we make those environments ourselves, at the very paths ansible-test computes
(its own functions, so the hashes match), and let them see Debian's packages (pylint,
yamllint, pycodestyle, voluptuous, Jinja2, PyYAML) instead of the pinned ones. The import
test's module environment stays empty on purpose: a module must import with the standard
library and ansible alone.

Run it from inside the collection (ansible_collections/NS/NAME), with the Python ansible-test
uses as its controller. Prints the environments it made.
"""

import json
import os
import subprocess
import sys

from ansible_test._internal.commands.sanity import hash_pip_commands
from ansible_test._internal.host_configs import NativePythonConfig
from ansible_test._internal.python_requirements import collect_requirements

# The tests with requirements of their own, as ansible-test names their environments; every
# other test (and the import test's module environment) shares one plain environment.
TESTS = [
    ('ansible-doc', False),
    ('import', False),
    ('import.plugin', True),
    ('pep8', False),
    ('pylint', False),
    ('runtime-metadata', False),
    ('validate-modules', False),
    ('yamllint', False),
    ('compile', False),  # no requirements: the plain environment
]


def main():
    python = NativePythonConfig(version='%d.%d' % sys.version_info[:2], path=sys.executable)
    root = os.path.expanduser('~/.ansible/test/venv')
    for name, minimize in TESTS:
        commands = collect_requirements(
            python=python, controller=True, virtualenv=False, command=None, ansible=False,
            cryptography=False, coverage=False, minimize=minimize,
            sanity=name if os.path.exists(requirements_file(name)) else None)
        system_packages = bool(commands)
        label = 'sanity.%s' % name if commands else 'sanity'
        path = os.path.join(root, label, python.version, hash_pip_commands(commands))
        marker = os.path.join(path, 'marker.txt')
        if os.path.exists(marker):
            continue
        options = ['--system-site-packages'] if system_packages else []
        subprocess.run([sys.executable, '-m', 'venv', '--without-pip', '--clear'] + options +
                       [path], check=True)
        with open(os.path.join(path, 'meta.install.json'), 'w', encoding='utf-8') as f:
            json.dump([c.serialize() for c in commands], f)
        with open(os.path.join(path, 'meta.yaml.json'), 'w', encoding='utf-8') as f:
            json.dump(True if system_packages else None, f)
        with open(marker, 'w', encoding='utf-8') as f:
            f.write('made from Debian packages by offline_sanity_venvs.py\n')
        print(path)


def requirements_file(name):
    import ansible_test
    return os.path.join(os.path.dirname(ansible_test.__file__), '_data', 'requirements',
                        'sanity.%s.txt' % name)


if __name__ == '__main__':
    main()
