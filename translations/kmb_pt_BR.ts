<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR" sourcelanguage="pt_BR">
<context>
    <name>Errors</name>
    <message>
        <source>Erro inesperado.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EventBinder</name>
    <message>
        <source>Manipulador &apos;%1&apos; não existe (%2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manipulador &apos;%1&apos; ligado mais de uma vez (%2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Evento &apos;%1&apos; desconhecido.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manipulador &apos;%1&apos; não serve ao evento %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Evento &apos;%1.%2&apos; desconhecido.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Host</name>
    <message>
        <source>O arquivo de configuração &quot;%1&quot; é um diretório.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Não foi possível ler o arquivo de configuração &quot;%1&quot;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>O arquivo de configuração &quot;%1&quot; não é um INI válido.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Orçamento de Eventos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Arquivo de configuração (INI).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Abre a tela ao iniciar.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Grava a janela principal em PNG e sai.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Diretório dos módulos (pode repetir; o padrão é o do programa).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>O banco de dados &apos;%1&apos; não existe (driver %2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Não foi possível abrir o banco de dados (driver %1, banco %2): %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Não foi possível gravar &apos;%1&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LayoutLoader</name>
    <message>
        <source>Leiaute &apos;%1&apos; não encontrado.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Descrição de componentes &apos;%1&apos; não encontrada.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Descrição de componentes &apos;%1&apos; inválida: %2 (posição %3).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Classe de componente desconhecida &apos;%1&apos; (%2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Propriedade &apos;%1&apos; de &apos;%2&apos; inválida em &apos;%3&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Leiaute &apos;%1&apos; inválido: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Componente herdado &apos;%1&apos; não existe (&apos;%2&apos;).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Campo inválido em &apos;%1&apos; (%2).</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LookupDialog</name>
    <message>
        <source>Pesquisar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filtrar:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Marcar todos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Desmarcar todos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancelar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 selecionado</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 selecionados</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Orçamento de Eventos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Arquivo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Abrir critérios...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Sair</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Janela</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A&amp;juda</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Sobre...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Cascata</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Lado a lado</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Fechar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sobre</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;Orçamento de Eventos&lt;/b&gt;&lt;p&gt;Relatórios do orçamento de eventos.&lt;/p&gt;&lt;p&gt;Qt %1&lt;/p&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Abrir critérios</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Critérios (*.txt *.ini *.crit);;Todos os arquivos (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Abra a tela do relatório antes de abrir um arquivo de critérios.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Critérios de &apos;%1&apos; carregados.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Relatórios</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MissingQtTexts</name>
    <message>
        <source>Pasta</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Arquivo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unidade</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Computador</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Área de trabalho</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lixeira</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Arquivo %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Atalho</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Desconhecido</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ModuleCatalog</name>
    <message>
        <source>falta &quot;%1&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>esperado um objeto JSON.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manifesto de módulo &apos;%1&apos; ignorado: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ModuleLoader</name>
    <message>
        <source>Não foi possível carregar o módulo &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>O módulo &apos;%1&apos; não exporta &apos;%2&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PagedRowsModel</name>
    <message>
        <source>Campo &apos;%1&apos; não encontrado na consulta.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PesquisaLista</name>
    <message>
        <source>Lista de pesquisa sem fonte de dados.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 selecionado</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 selecionados</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>e mais %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Escolher a lista (F9)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selecionados:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Pkg_KMB61200</name>
    <message>
        <source>O objeto da aplicação não existe.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ReportCli</name>
    <message>
        <source>Gera o relatório do código sem abrir a janela (com --criteria e --out).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Leiaute do relatório, pela posição na lista (0 = o primeiro) ou pelo nome.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Arquivo de critérios (nome=valor por linha).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Código de relatório inválido em --report: &quot;%1&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Informe o arquivo de critérios em --criteria.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Relatório desconhecido: %1. Nenhum módulo em %2 o declara.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A operação foi interrompida sem mensagem.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TBtnPesquisa</name>
    <message>
        <source>Pesquisar (F2 ou Alt+Seta para baixo no campo)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: componente &apos;%2&apos; não encontrado.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: &apos;%2&apos; não é um controle.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: &apos;%2&apos; não é uma fonte de dados.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: pesquisa sem fonte de dados.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nenhum registro encontrado.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TDateEditPlus</name>
    <message>
        <source>Calendário</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data inválida.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TForm</name>
    <message>
        <source>Componente &apos;%1&apos; declarado duas vezes.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TMessages</name>
    <message>
        <source>Mensagem &apos;%1&apos; não encontrada na tabela de mensagens.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TNetConnection</name>
    <message>
        <source>Porta inválida para o servidor de aplicação: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Servidor de aplicação não configurado.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Servidor de aplicação %1 (%2): %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>sem resposta.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>resposta inválida.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Conexão com o servidor de aplicação encerrada.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TfrmRelForn</name>
    <message>
        <source>Componente &apos;%1&apos; ausente do leiaute.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
