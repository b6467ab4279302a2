<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source>Tavril阅读器</source>
        <translation>Tavril阅读器</translation>
    </message>
</context>
</TS>
