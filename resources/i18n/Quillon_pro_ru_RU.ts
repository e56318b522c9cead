<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>MainWindow</name>
    <message>
        <source>LoRa</source>
        <translation>LoRa</translation>
    </message>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>Бутлоадер</source>
        <translation>Бутлоадер</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Расширение</source>
        <translation>Расширение</translation>
    </message>
    <message>
        <source>.bin</source>
        <translation>.bin</translation>
    </message>
    <message>
        <source>.hex</source>
        <translation>.hex</translation>
    </message>
    <message>
        <source>Найденные файл</source>
        <translation>Найденные файл</translation>
    </message>
    <message>
        <source>Поиск по LoRaMAC</source>
        <translation>Поиск по LoRaMAC</translation>
    </message>
    <message>
        <source>Найденные файлы</source>
        <translation>Найденные файлы</translation>
    </message>
    <message>
        <source>Основное приложение</source>
        <translation>Основное приложение</translation>
    </message>
    <message>
        <source>Настройки записи</source>
        <translation>Настройки записи</translation>
    </message>
    <message>
        <source>Путь записи out-file</source>
        <translation>Путь записи out-file</translation>
    </message>
    <message>
        <source>Шаблон имени out-file</source>
        <translation>Шаблон имени out-file</translation>
    </message>
    <message>
        <source>Encrypt to .zbf</source>
        <translation>Encrypt to .zbf</translation>
    </message>
    <message>
        <source>Сборка</source>
        <translation>Сборка</translation>
    </message>
    <message>
        <source>Прошивка</source>
        <translation>Прошивка</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;br/&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;br/&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Настройка смещений записи &gt;&gt;</source>
        <translation>Настройка смещений записи &gt;&gt;</translation>
    </message>
    <message>
        <source>Сохраненные конфигурации</source>
        <translation>Сохраненные конфигурации</translation>
    </message>
    <message>
        <source>Сохранить шаблон</source>
        <translation>Сохранить шаблон</translation>
    </message>
    <message>
        <source>Настройки смещенияя</source>
        <translation>Настройки смещенияя</translation>
    </message>
    <message>
        <source>Смещение, по которому запишется bootloader.</source>
        <translation>Смещение, по которому запишется bootloader.</translation>
    </message>
    <message>
        <source>Смещение, по которому запишется  LoRa.</source>
        <translation>Смещение, по которому запишется  LoRa.</translation>
    </message>
    <message>
        <source>Смещение, по которому запишется Application.</source>
        <translation>Смещение, по которому запишется Application.</translation>
    </message>
    <message>
        <source>Смещение, по которому находится название LoRa </source>
        <translation>Смещение, по которому находится название LoRa </translation>
    </message>
    <message>
        <source>Смещение, по которому находится название App. </source>
        <translation>Смещение, по которому находится название App. </translation>
    </message>
    <message>
        <source>Binary</source>
        <translation>Binary</translation>
    </message>
    <message>
        <source>Файл 1 </source>
        <translation>Файл 1 </translation>
    </message>
    <message>
        <source>Смещение записи</source>
        <translation>Смещение записи</translation>
    </message>
    <message>
        <source>Файл 2</source>
        <translation>Файл 2</translation>
    </message>
    <message>
        <source>Файл 3</source>
        <translation>Файл 3</translation>
    </message>
    <message>
        <source>Файл 4</source>
        <translation>Файл 4</translation>
    </message>
    <message>
        <source>Файл 5</source>
        <translation>Файл 5</translation>
    </message>
    <message>
        <source>Файл 6</source>
        <translation>Файл 6</translation>
    </message>
    <message>
        <source>Файл 1</source>
        <translation>Файл 1</translation>
    </message>
    <message>
        <source>Расширение выходного файла</source>
        <translation>Расширение выходного файла</translation>
    </message>
    <message>
        <source>Сборка по смещениям</source>
        <translation>Сборка по смещениям</translation>
    </message>
    <message>
        <source>Расширенная сборка &gt;&gt;</source>
        <translation>Расширенная сборка &gt;&gt;</translation>
    </message>
    <message>
        <source>Сохрененные конфигурации</source>
        <translation>Сохрененные конфигурации</translation>
    </message>
    <message>
        <source>IntelHEX</source>
        <translation>IntelHEX</translation>
    </message>
    <message>
        <source>Корневой Boot</source>
        <translation>Корневой Boot</translation>
    </message>
    <message>
        <source>Корневой bootloader</source>
        <translation>Корневой bootloader</translation>
    </message>
    <message>
        <source>Boot прошивки</source>
        <translation>Boot прошивки</translation>
    </message>
    <message>
        <source>Bootloader прошивки</source>
        <translation>Bootloader прошивки</translation>
    </message>
    <message>
        <source>App</source>
        <translation>App</translation>
    </message>
    <message>
        <source>Основное приложене</source>
        <translation>Основное приложене</translation>
    </message>
    <message>
        <source>Доп. файл 1</source>
        <translation>Доп. файл 1</translation>
    </message>
    <message>
        <source>Дополнительный файл 1</source>
        <translation>Дополнительный файл 1</translation>
    </message>
    <message>
        <source>Доп. файл 2</source>
        <translation>Доп. файл 2</translation>
    </message>
    <message>
        <source>Дополнительный файл 2</source>
        <translation>Дополнительный файл 2</translation>
    </message>
    <message>
        <source>Доп. файл 3</source>
        <translation>Доп. файл 3</translation>
    </message>
    <message>
        <source>Дополнительный файл 3</source>
        <translation>Дополнительный файл 3</translation>
    </message>
    <message>
        <source>IntelHEX to BIN</source>
        <translation>IntelHEX to BIN</translation>
    </message>
    <message>
        <source>BIN to IntelHEX</source>
        <translation>BIN to IntelHEX</translation>
    </message>
    <message>
        <source>Сбросить все</source>
        <translation>Сбросить все</translation>
    </message>
</context>
<context>
    <name>ConverterPanel</name>
    <message>
        <source>Выберите файл для конвертации</source>
        <translation>Выберите файл для конвертации</translation>
    </message>
    <message>
        <source>Файл не выбран!</source>
        <translation>Файл не выбран!</translation>
    </message>
    <message>
        <source>Выберите файл для конвертации.</source>
        <translation>Выберите файл для конвертации.</translation>
    </message>
    <message>
        <source>Смещение</source>
        <translation>Смещение</translation>
    </message>
    <message>
        <source>Задайте смещение</source>
        <translation>Задайте смещение</translation>
    </message>
    <message>
        <source>Конвертация...</source>
        <translation>Конвертация...</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Конвертация</source>
        <translation>Конвертация</translation>
    </message>
    <message>
        <source>Процесс завершен.</source>
        <translation>Процесс завершен.</translation>
    </message>
</context>
</TS>
