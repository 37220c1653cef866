#pragma once

// The thin vertical scroll bar of the box table and the box list.
inline constexpr char kThinScrollBarStyle[] =
    "QScrollBar:vertical {width:5px;background-color:#FFFFFF;padding-top:5px;padding-bottom:5px;}"
    "QScrollBar::handle:vertical {border-bottom: 1px solid #808080;width:5px;min-height:20px;"
    "background: #A9A9A9;border-radius:2px;}"
    "QScrollBar::handle:vertical:hover {width:5px;min-height:20px;background: #808080;}"
    "QScrollBar::add-line:vertical {height:0px;width:0px;subcontrol-position: bottom;"
    "subcontrol-origin: margin;}"
    "QScrollBar::sub-line:vertical {height:0px;width:0px;subcontrol-position: top;"
    "subcontrol-origin: margin;}"
    "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical {width:5px;border-radius:2px;"
    "background: #FFFFFF;}";
