"""The type stubs name exactly what the module exports, class by class, with
the module's own docstrings, so that editors show what the module does."""

import ast
import os
import pathlib

import pytest

import carvex

SOURCE_STUBS = pathlib.Path(__file__).resolve().parents[1] / "carvex.pyi"


def stub_file():
    """The stubs installed beside the module, else the source tree's."""
    beside = pathlib.Path(carvex.__file__).with_name("carvex.pyi")
    if os.environ.get("CARVEX_EXPECT_INSTALLED_STUBS"):
        assert beside.exists(), f"no stubs installed beside {carvex.__file__}"
    return beside if beside.exists() else SOURCE_STUBS


STUBS = ast.parse(stub_file().read_text())


def public(names):
    return {n for n in names if not n.startswith("_")}


def defined(body):
    """Names a stub body defines, each with its docstring (or None)."""
    names = {}
    for node in body:
        if isinstance(node, (ast.ClassDef, ast.FunctionDef)):
            names[node.name] = ast.get_docstring(node)
        elif isinstance(node, ast.AnnAssign) and isinstance(node.target, ast.Name):
            names[node.target.id] = None
        elif isinstance(node, ast.Assign):
            for target in node.targets:
                names[target.id] = None
    # A string after an annotated name is its docstring.
    for before, after in zip(body, body[1:]):
        if (isinstance(before, ast.AnnAssign) and isinstance(after, ast.Expr)
                and isinstance(after.value, ast.Constant)):
            names[before.target.id] = after.value.value
    return names


def runtime_doc(obj):
    """The module's docstring without pybind11's signature line and list of
    enum members."""
    doc = (obj.__doc__ or "").strip()
    if isinstance(obj, type):
        return doc.split("\n\nMembers:")[0]
    first, _, rest = doc.partition("\n\n")
    return rest.strip() if "(" in first and ")" in first and rest else doc


STUB_NAMES = defined(STUBS.body)
CLASSES = {n.name: n for n in STUBS.body if isinstance(n, ast.ClassDef)}


def test_the_stubs_name_what_the_module_exports():
    assert public(STUB_NAMES) == public(dir(carvex))


@pytest.mark.parametrize("name", sorted(CLASSES))
def test_each_class_has_the_members_the_module_gives_it(name):
    cls = getattr(carvex, name)
    assert public(defined(CLASSES[name].body)) == public(vars(cls)), name


def documented():
    for name, doc in STUB_NAMES.items():
        if doc is not None:
            yield name, getattr(carvex, name, None), doc
    for cls_name, node in CLASSES.items():
        for name, doc in defined(node.body).items():
            if doc is not None and not name.startswith("_"):
                yield f"{cls_name}.{name}", getattr(getattr(carvex, cls_name, None), name, None), doc


DOCUMENTED = list(documented())


@pytest.mark.parametrize("name, obj, doc", DOCUMENTED, ids=[d[0] for d in DOCUMENTED])
def test_docstrings_are_the_modules(name, obj, doc):
    assert obj is not None, f"the module has no {name}"
    assert doc == runtime_doc(obj), name


def test_every_function_and_method_of_the_module_is_documented_in_the_stubs():
    undocumented = [n for n, d in STUB_NAMES.items() if d is None and not n.startswith("_")
                    and callable(getattr(carvex, n, None)) and n != "PairOp"]
    assert undocumented == []
