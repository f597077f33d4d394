#!/usr/bin/env python3
"""Writes the module dialog forms that are not edited by hand.

The checking dialog's form and the main window's form of the standard set
(forms/standard/quoreldialog.ui, forms/standard/mainwindow.ui) are the masters.
From them this script derives the tracing, stacking and inbreeding dialogs of
the standard set and every form of the enlarged set (forms/enlarged/). The
forms are committed; the build does not run this script. Run it again after
changing a master:

    /usr/bin/python3 gui/forms/make_forms.py
"""

import copy
import os
import re
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
STANDARD = os.path.join(HERE, "standard")
ENLARGED = os.path.join(HERE, "enlarged")


# --- small helpers over the .ui tree -----------------------------------------

def load(name):
    return ET.parse(os.path.join(STANDARD, name)).getroot()


def parents(root):
    return {child: parent for parent in root.iter() for child in parent}


def widget(root, name):
    for w in root.iter("widget"):
        if w.get("name") == name:
            return w
    raise KeyError(name)


def layout(root, name):
    for w in root.iter("layout"):
        if w.get("name") == name:
            return w
    raise KeyError(name)


def prop(elem, name):
    for p in elem.findall("property"):
        if p.get("name") == name:
            return p
    return None


def set_prop(elem, name, kind, value, notr=False):
    p = prop(elem, name)
    if p is None:
        p = ET.SubElement(elem, "property", name=name)
    for child in list(p):
        p.remove(child)
    v = ET.SubElement(p, kind)
    if notr:
        v.set("notr", "true")
    v.text = value
    return p


def del_prop(elem, name):
    p = prop(elem, name)
    if p is not None:
        elem.remove(p)


def set_text(root, name, text):
    set_prop(widget(root, name), "text", "string", text)


def set_size(elem, name, w, h):
    p = prop(elem, name)
    if p is None:
        p = ET.SubElement(elem, "property", name=name)
    for child in list(p):
        p.remove(child)
    s = ET.SubElement(p, "size")
    ET.SubElement(s, "width").text = str(w)
    ET.SubElement(s, "height").text = str(h)


def set_rect(elem, x, y, w, h):
    p = prop(elem, "geometry")
    for child in list(p):
        p.remove(child)
    r = ET.SubElement(p, "rect")
    for tag, value in (("x", x), ("y", y), ("width", w), ("height", h)):
        ET.SubElement(r, tag).text = str(value)


def rename_all(elem, mapping):
    """Renames the widgets and layouts of a cloned subtree."""
    for e in elem.iter():
        if e.tag in ("widget", "layout", "spacer") and e.get("name") in mapping:
            e.set("name", mapping[e.get("name")])


def item_of(root, name):
    """The <item> that holds widget or layout `name`, and its parent layout."""
    pm = parents(root)
    for e in root.iter():
        if e.tag in ("widget", "layout") and e.get("name") == name:
            item = pm[e]
            return item, pm[item]
    raise KeyError(name)


def rename_dialog(root, cls, title, width, height, min_width, min_height):
    root.find("class").text = cls
    top = root.find("widget")
    top.set("name", cls)
    set_prop(top, "windowTitle", "string", title)
    set_rect(top, 0, 0, width, height)
    set_size(top, "minimumSize", min_width, min_height)
    # Only the checking dialog carries a style sheet of its own.
    del_prop(top, "styleSheet")
    return top


def bump_stretch(layout_elem, index, value):
    parts = layout_elem.get("stretch").split(",")
    parts.insert(index, value)
    layout_elem.set("stretch", ",".join(parts))


# --- the dialogs of the standard set -----------------------------------------

def output_delimiter_box(root):
    """A copy of the input delimiter box as the output delimiter box."""
    box_item, options = item_of(root, "verticalLayout_delimBox")
    clone = copy.deepcopy(box_item)
    rename_all(clone, {
        "verticalLayout_delimBox": "verticalLayout_delimOutBox",
        "label_3": "label_8",
        "grbox_InputFileDelim": "grbox_OutputFileDelim",
        "verticalLayout_delim": "verticalLayout_delimOut",
        "rbtn_SpaceDelim": "rbtn_SpaceDelimOut",
        "rbtn_TabDelim": "rbtn_TabDelimOut",
        "rbtn_CommaDelim": "rbtn_CommaDelimOut",
        "rbtn_CombinedDelim": "rbtn_CombinedDelimOut",
        "qle_CombinedDelimEntry": "qle_CombinedDelimOut",
        "verticalSpacer_delim": "verticalSpacer_delimOut",
    })
    for w in clone.iter("widget"):
        if w.get("name") == "label_8":
            set_prop(w, "text", "string", "Output file delimiter")
    index = list(options).index(box_item) + 1
    options.insert(index, clone)
    bump_stretch(options, index, "2")


def replace_check_box(root, old, boxes):
    """Replaces check box `old` by (name, text, checked) boxes."""
    item, parent = item_of(root, old)
    index = list(parent).index(item)
    parent.remove(item)
    for offset, (name, text, checked) in enumerate(boxes):
        clone = copy.deepcopy(item)
        w = clone.find("widget")
        w.set("name", name)
        set_prop(w, "text", "string", text)
        set_prop(w, "checked", "bool", "true" if checked else "false")
        parent.insert(index + offset, clone)


def remove_widget(root, name):
    """Removes the layout item of widget `name` (the checking dialog's own check boxes)."""
    item, parent = item_of(root, name)
    parent.remove(item)


def clone_button_after(root, after, name, text):
    item, parent = item_of(root, after)
    clone = copy.deepcopy(item)
    w = clone.find("widget")
    w.set("name", name)
    set_prop(w, "text", "string", text)
    parent.insert(list(parent).index(item) + 1, clone)
    return w


def nembril():
    root = load("quoreldialog.ui")
    rename_dialog(root, "NembrilDialog", "HALDORIN (Pedigree Trace Module)", 830, 650, 830, 650)
    heading = widget(root, "ProgName1")
    heading.set("name", "ModuleName")
    set_prop(heading, "text", "string", "NEM-BRIL")
    widget(root, "label").set("name", "lab_PedigreeFile")
    widget(root, "label_7").set("name", "labe_OutputFile")

    # Key file row between the pedigree and the output row.
    grid = layout(root, "gridLayout_files")
    for item in grid.findall("item"):
        if item.get("row") == "2":
            item.set("row", "3")
    for item in [i for i in grid.findall("item") if i.get("row") == "1"]:
        clone = copy.deepcopy(item)
        clone.set("row", "2")
        rename_all(clone, {"lab_PedigreeFile": "lab_KeyFile", "qle_PedFileEntry": "qle_KeyFileEntry",
                           "btn_PedFileEntry": "btn_KeyFileEntry"})
        w = clone.find("widget")
        if w.get("name") == "lab_KeyFile":
            set_prop(w, "text", "string", "Key file")
            set_prop(w, "toolTip", "string", "Animals to trace, one identifier per line ...")
        elif w.get("name") == "qle_KeyFileEntry":
            set_prop(w, "placeholderText", "string", " path/to/reference/file")
        grid.append(clone)

    output_delimiter_box(root)
    remove_widget(root, "cb_ReportLoops")
    replace_check_box(root, "cb_PrintStack", [("cb_NonTraceId", "Include non-traced IDs", True)])
    set_text(root, "cb_RepeatDelim", " Repeated delim. as one")
    set_text(root, "btn_PedHeader", "Header 1")
    clone_button_after(root, "btn_PedHeader", "btn_KeyHeader", "Header 2")
    return root


def tavisk():
    root = load("quoreldialog.ui")
    rename_dialog(root, "TaviskDialog", "HALDORIN (Pedigree Stack Module)", 865, 650, 865, 630)
    set_text(root, "ProgName1", "TAV-ISK")
    set_prop(widget(root, "qle_OutFileEntry"), "placeholderText", "string", "  /path/to/output/file")
    output_delimiter_box(root)
    remove_widget(root, "cb_ReportLoops")
    replace_check_box(root, "cb_PrintStack", [("cb_ParentStack", "Print parents for stacking", True)])

    # The loop and founder entries, in a row of their own under the options.
    label_item, _ = item_of(root, "label_6")
    entry_item, _ = item_of(root, "qle_MissingValueEntry")
    row = ET.Element("item")
    hbox = ET.SubElement(row, "layout", {"class": "QHBoxLayout", "name": "horizontalLayout_stack"})
    for label_name, text, entry_name, value in (
            ("label_loopError", "# Detect loop errors for generations-", "qle_LoopErrorGeneration", "50"),
            ("label_founder", "# Include founder > no_of_progenies-", "qle_IncludeFounderProgeny", "1")):
        item = copy.deepcopy(label_item)
        item.attrib.clear()
        w = item.find("widget")
        w.set("name", label_name)
        set_prop(w, "text", "string", text)
        hbox.append(item)
        item = copy.deepcopy(entry_item)
        w = item.find("widget")
        w.set("name", entry_name)
        set_prop(w, "text", "string", value)
        set_size(w, "maximumSize", 60, 16777215)
        hbox.append(item)
    spacer_item = ET.SubElement(hbox, "item")
    spacer = ET.SubElement(spacer_item, "spacer", name="horizontalSpacer_stack")
    set_prop(spacer, "orientation", "enum", "Qt::Horizontal")
    main = layout(root, "verticalLayout_main")
    options_item, _ = item_of(root, "horizontalLayout_options")
    index = list(main).index(options_item) + 1
    main.insert(index, row)
    bump_stretch(main, index, "0")

    clone_button_after(root, "btn_ResultView", "btn_StackError", "StackErr")
    return root


def folvane():
    root = load("quoreldialog.ui")
    rename_dialog(root, "FolvaneDialog", "HALDORIN (Pedigree Get_F Module)", 848, 630, 825, 630)
    set_text(root, "ProgName1", "FOL-Vane")
    output_delimiter_box(root)
    remove_widget(root, "cb_ReportLoops")
    replace_check_box(root, "cb_PrintStack", [
        ("cb_TabularMethod", "Use Tabular method algorithm", True),
        ("cb_RenumberedPed", "Print renumbered pedigree", False),
        ("cb_PrintPIC", "Print pedigree completeness index", False),
    ])
    return root


# --- the enlarged set ----------------------------------------------------------

def enlarge_dialog(root):
    top = root.find("widget")
    set_rect(top, 0, 0, 1024, 768)
    set_size(top, "minimumSize", 1024, 768)
    del_prop(top, "styleSheet")
    for font in root.iter("font"):
        family = font.find("family")
        size = font.find("pointsize")
        if family is None:
            continue
        if family.text == "Arial":
            family.text = "Open Sans"
            if size is not None:
                size.text = "11" if int(size.text) >= 10 else "10"
        elif family.text == "Calibri":
            # The round Help button: its size stays, so "Help" fits its 30 px.
            family.text = "Open Sans SemiBold"
    for w in root.iter("widget"):
        name = w.get("name")
        text = prop(w, "text")
        if name in ("btn_PedFileEntry", "btn_KeyFileEntry"):
            set_prop(w, "text", "string", "Search")
        elif name == "btn_PedHeader" and text is not None and text.find("string").text == "Header 1":
            set_prop(w, "text", "string", "Header1")
        elif name == "btn_KeyHeader":
            set_prop(w, "text", "string", "Header2")
        elif name == "cb_RepeatDelim":
            set_prop(w, "text", "string", "Repeated delim. as one")
        sheet = prop(w, "styleSheet")
        if w.get("class") == "QPushButton" and sheet is not None:
            s = sheet.find("string")
            s.text = re.sub(r"(m(?:in|ax)-width: )60px", r"\g<1>110px", s.text)
            s.text = re.sub(r"(m(?:in|ax)-width: )100px", r"\g<1>120px", s.text)
    return root


def enlarged_main_window():
    root = load("mainwindow.ui")
    top = root.find("widget")
    set_rect(top, 0, 0, 1029, 764)
    set_size(top, "minimumSize", 1029, 764)
    set_size(top, "maximumSize", 1029, 764)
    central = widget(root, "centralWidget")
    set_prop(central, "styleSheet", "string", "#centralWidget {\nborder-image: url(:/img/img/main.jpg);\n}\n",
             notr=True)
    for name, x, y in (("btnQuorel", 200, 509), ("btnNembril", 370, 508), ("btnTavisk", 540, 509),
                       ("btnFolvane", 710, 510)):
        button = widget(root, name)
        set_rect(button, x, y, 120, 132)
        set_size(button, "minimumSize", 120, 132)
        set_size(button, "maximumSize", 120, 132)
    set_rect(widget(root, "menuBar"), 0, 0, 1029, 21)
    top.remove(widget(root, "statusBar"))
    return root


def write(root, folder, name):
    os.makedirs(folder, exist_ok=True)
    ET.indent(root, space=" ")
    path = os.path.join(folder, name)
    with open(path, "wb") as out:
        out.write(b'<?xml version="1.0" encoding="UTF-8"?>\n')
        out.write(ET.tostring(root, encoding="utf-8"))
        out.write(b"\n")
    print(path)


def main():
    dialogs = {
        "nembrildialog.ui": nembril,
        "taviskdialog.ui": tavisk,
        "folvanedialog.ui": folvane,
    }
    for name, make in dialogs.items():
        write(make(), STANDARD, name)
    write(enlarge_dialog(load("quoreldialog.ui")), ENLARGED, "quoreldialog.ui")
    for name, make in dialogs.items():
        write(enlarge_dialog(make()), ENLARGED, name)
    write(enlarged_main_window(), ENLARGED, "mainwindow.ui")


if __name__ == "__main__":
    main()
